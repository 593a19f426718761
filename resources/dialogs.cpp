#include "host/max.h"
#include "resources/resources.h"

#ifndef CVIMP_MAIN_WEB_HOST
#error "CVIMP_MAIN_WEB_HOST names the platform's main web host"
#endif

namespace cvimp::resources {
namespace {

#define CVIMP_WIDEN2(text) u##text
#define CVIMP_WIDEN(text) CVIMP_WIDEN2(text)
constexpr std::u16string_view kUserAgreement = u"https://" CVIMP_WIDEN(CVIMP_MAIN_WEB_HOST) u"/festatic/user_agreement";
constexpr std::u16string_view kHelpArticle = u"https://" CVIMP_WIDEN(CVIMP_MAIN_WEB_HOST) u"/hc/article/3FO4K4VMPNA9";
#undef CVIMP_WIDEN
#undef CVIMP_WIDEN2

constexpr DWORD kStaticText = static_cast<DWORD>(WS_CHILD | WS_VISIBLE) | SS_LEFT;

constexpr host::DialogControl kAboutControls[] = {
    {-1, u"STATIC", u"Casavia for 3ds Max", kStaticText, 123, 23, 125, 8},
    {-1, u"STATIC", u"连接Casavia与3ds Max，用户许可协议详见：", kStaticText, 80, 48, 187, 8},
    {IDC_USER_AGREEMENT, u"STATIC", kUserAgreement, kStaticText | SS_NOTIFY, 58, 71, 189, 8},
};

// 0x90CF0040: popup, visible, caption, system menu, sizing frame, minimize
// and maximize boxes, font.
constexpr DWORD kImportStyle = WS_POPUP | static_cast<DWORD>(WS_VISIBLE) | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                               WS_MINIMIZEBOX | WS_MAXIMIZEBOX | DS_SETFONT;
constexpr DWORD kAboutStyle =
    WS_POPUP | static_cast<DWORD>(WS_VISIBLE) | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

constexpr host::DialogResource kDialogs[] = {
    {IDD_IMPORT, u"导入", kImportStyle, 800, 525, u"MS Sans Serif", 8, {}},
    {IDD_ABOUT, u"关于", kAboutStyle, 325, 109, u"MS Sans Serif", 8, kAboutControls},
};

static_assert(kImportStyle == 0x90CF0040);

}  // namespace

std::span<const host::DialogResource> dialogs() { return kDialogs; }
std::u16string_view userAgreementAddress() { return kUserAgreement; }
std::u16string_view helpArticleAddress() { return kHelpArticle; }

const host::ResourceDirectory& directory() {
  static const host::ResourceDirectory resources{stringTables(), acceleratorTables(), dialogs()};
  return resources;
}

}  // namespace cvimp::resources
