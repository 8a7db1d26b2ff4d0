#pragma once
// Pages kept for bookstores other than Dangdang. The main window holds one
// object of each and never creates their windows; they carry no settings and
// no behaviour (the readers and the sync page handle every store by name).
#include "platform/ui/afxwin.h"
#include "resources/resource_ids.h"

class JDTongbu : public CDialogEx {
 public:
  enum { IDD = IDD_JDTONGBU };
  JDTongbu();
  ~JDTongbu() override;

 protected:
  DECLARE_MESSAGE_MAP()
};

class JoyoTongbu : public CDialogEx {
 public:
  enum { IDD = IDD_JOYOTONGBU };
  JoyoTongbu();
  ~JoyoTongbu() override;

 protected:
  DECLARE_MESSAGE_MAP()
};

class BoKuTongbu : public CDialogEx {
 public:
  enum { IDD = IDD_BOKUTONGBU };
  BoKuTongbu();
  ~BoKuTongbu() override;

  // Command 32787: bound in the message map, does nothing.
  void OnBoKuCommand();

 protected:
  DECLARE_MESSAGE_MAP()
};

class WenXuanTongBu : public CDialogEx {
 public:
  enum { IDD = IDD_WENXUANTONGBU };
  WenXuanTongBu();
  ~WenXuanTongBu() override;

 protected:
  DECLARE_MESSAGE_MAP()
};
