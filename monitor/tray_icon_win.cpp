#include "monitor/tray_icon_win.h"

namespace sarn {
namespace {

// A mouse seen from above: a dark red body, the split between the two buttons and the wheel in white.
HICON DrawMouseIcon(int size) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP color = CreateCompatibleBitmap(screen, size, size);
  HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
  ReleaseDC(nullptr, screen);
  HICON icon = nullptr;
  if (dc != nullptr && color != nullptr && mask != nullptr) {
    const int left = size / 5, right = size - size / 5, top = size / 16, bottom = size - size / 16;
    const int middle = size / 2, wheelBottom = top + size / 3;
    const RECT all{0, 0, size, size};

    // Colour: black outside the shape (the mask makes it transparent), the mouse inside.
    HGDIOBJ old = SelectObject(dc, color);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HBRUSH body = CreateSolidBrush(RGB(176, 24, 40));
    HGDIOBJ oldBrush = SelectObject(dc, body);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(WHITE_PEN));
    RoundRect(dc, left, top, right, bottom, size / 2, size / 2);
    MoveToEx(dc, middle, top, nullptr);
    LineTo(dc, middle, wheelBottom);
    MoveToEx(dc, left, wheelBottom, nullptr);
    LineTo(dc, right, wheelBottom);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(body);

    // Mask: 1 (white) is transparent, 0 (black) shows the colour.
    SelectObject(dc, mask);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    oldBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
    oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    RoundRect(dc, left, top, right, bottom, size / 2, size / 2);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SelectObject(dc, old);

    ICONINFO info{TRUE, 0, 0, mask, color};
    icon = CreateIconIndirect(&info);
  }
  if (dc != nullptr) DeleteDC(dc);
  if (color != nullptr) DeleteObject(color);  // CreateIconIndirect keeps copies
  if (mask != nullptr) DeleteObject(mask);
  return icon;
}

}  // namespace

HICON LoadProgramIcon(HMODULE module, int size) {
  if (HANDLE resource = LoadImageA(module, MAKEINTRESOURCEA(kProgramIconResource), IMAGE_ICON, size, size, 0)) {
    return static_cast<HICON>(resource);
  }
  return DrawMouseIcon(size);
}

TrayIcon::~TrayIcon() {
  if (icon_ != nullptr) DestroyIcon(icon_);
}

HICON TrayIcon::Get() {
  if (icon_ == nullptr) icon_ = LoadProgramIcon(GetModuleHandleA(nullptr), GetSystemMetrics(SM_CXSMICON));
  return icon_;
}

void TrayIconKeeper::Attach(HWND window, UINT iconId, UINT callbackMessage, const char* tip) {
  window_ = window;
  iconId_ = iconId;
  callbackMessage_ = callbackMessage;
  tip_ = tip;
}

NOTIFYICONDATAA TrayIconKeeper::Data() const {
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof data;
  data.hWnd = window_;
  data.uID = iconId_;
  return data;
}

void TrayIconKeeper::Show() {
  wanted_ = true;
  // An add while the icon is there would fail and start retrying for nothing; a repeated Show (the session
  // connected again) only makes sure it is there.
  if (!shown_) Add();
}

void TrayIconKeeper::Hide() {
  wanted_ = false;
  nextRetryMs_ = 0;
  KillTimer(window_, timerId_);
  NOTIFYICONDATAA data = Data();
  notify_(NIM_DELETE, &data);
  shown_ = false;
}

void TrayIconKeeper::OnTaskbarCreated() {
  // The new taskbar's tray is empty whatever we had there before.
  shown_ = false;
  if (wanted_) Add();
}

void TrayIconKeeper::OnRetryTimer() {
  KillTimer(window_, timerId_);
  if (wanted_ && !shown_) Add();
}

void TrayIconKeeper::Add() {
  NOTIFYICONDATAA data = Data();
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = callbackMessage_;
  data.hIcon = icon_.Get();
  lstrcpynA(data.szTip, tip_, sizeof data.szTip);
  shown_ = notify_(NIM_ADD, &data) != FALSE;
  // A busy Explorer can answer an add late and report failure while the icon did arrive: an add would then
  // fail for ever, but a modify of the icon that is there succeeds.
  if (!shown_) shown_ = notify_(NIM_MODIFY, &data) != FALSE;
  OutputDebugStringA(shown_ ? "CMonitorWnd tray icon added\n" : "CMonitorWnd tray icon not added\n");
  if (shown_) {
    nextRetryMs_ = 0;
    KillTimer(window_, timerId_);
    return;
  }
  // Explorer may take a minute after logon; the delay doubles so a slow start costs a few calls, not hundreds.
  nextRetryMs_ = nextRetryMs_ == 0 ? firstRetryMs_ : (nextRetryMs_ >= longestRetryMs_ / 2 ? longestRetryMs_ : nextRetryMs_ * 2);
  SetTimer(window_, timerId_, nextRetryMs_, nullptr);
}

}  // namespace sarn
