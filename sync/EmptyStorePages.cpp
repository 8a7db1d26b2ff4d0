#include "sync/EmptyStorePages.h"

JDTongbu::JDTongbu() : CDialogEx(IDD, nullptr) {}
JDTongbu::~JDTongbu() = default;

BEGIN_MESSAGE_MAP(JDTongbu, CDialogEx)
END_MESSAGE_MAP()

JoyoTongbu::JoyoTongbu() : CDialogEx(IDD, nullptr) {}
JoyoTongbu::~JoyoTongbu() = default;

BEGIN_MESSAGE_MAP(JoyoTongbu, CDialogEx)
END_MESSAGE_MAP()

BoKuTongbu::BoKuTongbu() : CDialogEx(IDD, nullptr) {}
BoKuTongbu::~BoKuTongbu() = default;

void BoKuTongbu::OnBoKuCommand() {}

BEGIN_MESSAGE_MAP(BoKuTongbu, CDialogEx)
  ON_COMMAND(ID_BOKU_COMMAND, &BoKuTongbu::OnBoKuCommand)
END_MESSAGE_MAP()

WenXuanTongBu::WenXuanTongBu() : CDialogEx(IDD, nullptr) {}
WenXuanTongBu::~WenXuanTongBu() = default;

BEGIN_MESSAGE_MAP(WenXuanTongBu, CDialogEx)
END_MESSAGE_MAP()
