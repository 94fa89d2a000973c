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

}  // namespace sarn
