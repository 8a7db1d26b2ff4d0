#pragma once
// Sign-in for tests that run against the local marketplace. UI thread.
namespace support {

// Signs in through the sign-in dialog, as the user does: the dialog's
// browser loads the login page, which signs the account in, and the user
// presses "确定". A fatal test failure when the account is not signed in.
void SignInThroughDialog();

}  // namespace support
