#include "updater/pages/ExStatic.h"

// Placeholder until the control is drawn itself: the template's static shows the text.
CExStatic::CExStatic()
    : text_color(GetSysColor(COLOR_WINDOWTEXT)), background_color(GetSysColor(COLOR_BTNFACE)),
      gradient_from(background_color), gradient_to(background_color) {}
CExStatic::~CExStatic() = default;
void CExStatic::SetTextFont(const std::string&, int, int, bool, bool) {}
void CExStatic::SetPageBackground() {}
LRESULT CExStatic::OnMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
    return Default(msg, wparam, lparam);
}
void CExStatic::OnSubclassed() {}
