#pragma once
// The pages publish their controls in the globals of services/globals.h and,
// as in the program, never take them back: there the pages live as long as
// the program. A test that destroys its pages forgets them here, so that
// nothing later in the test program reaches a control that is gone. UI
// thread, once no worker runs.
namespace support {

void ForgetPageGlobals();

}  // namespace support
