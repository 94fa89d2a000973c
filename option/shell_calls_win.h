// The few shell and common-dialog calls of the configuration window, loaded when first used: under Wine,
// loading shell32 and comdlg32 at start costs more than building the whole window.
#pragma once

#include <windows.h>
#include <commdlg.h>

namespace sarn::win {

// ShellExecuteW (nullptr, "open", what, ...): true when the shell took it.
bool ShellOpen(const wchar_t* what);
// Tests: what ShellOpen is given goes to `open` instead of the shell (nullptr: the shell again).
void SetShellOpenForTest(bool (*open)(const wchar_t* what));
// The user's desktop folder; false (and an empty text) when it cannot be told.
bool DesktopFolder(wchar_t (&path)[MAX_PATH]);
BOOL OpenFileDialog(OPENFILENAMEW* ofn);
BOOL SaveFileDialog(OPENFILENAMEW* ofn);
// The animation control class ("SysAnimate32"), registered when first needed; false when it cannot be had.
bool LoadAnimationControl();
// A wave file played without waiting; skipped while another sound plays.
void PlaySoundFile(const wchar_t* path);

}  // namespace sarn::win
