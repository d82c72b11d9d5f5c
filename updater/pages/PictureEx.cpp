#include "updater/pages/PictureEx.h"

// Placeholder until the animation is played.
CPictureEx::CPictureEx() = default;
CPictureEx::~CPictureEx() = default;
bool CPictureEx::LoadFromResource() { return false; }
bool CPictureEx::LoadFromMemory(HGLOBAL, DWORD) { return false; }
bool CPictureEx::StartPlayback() { return false; }
void CPictureEx::StopPlayback() {}
void CPictureEx::Release() {}
LRESULT CPictureEx::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
    return Default(msg, wparam, lparam);
}
