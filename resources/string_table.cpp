#include "resources/resources.h"

namespace cvimp::resources {
namespace {

constexpr host::StringResource kChinese[] = {
    {IDS_LIBDESCRIPTION, u"连接Casavia与3ds Max"},
    {IDS_CATEGORY, u"Global Utility Plug-In"},
    {IDS_CVIMP, u"cvimp"},
    {IDS_IMPORT, u"导入..."},
    {IDS_ABOUT, u"关于..."},
    {IDS_CLASS_NAME, u"cvimp"},
    {IDS_HELP, u"帮助..."},
    {IDS_MENU_TITLE, u"Casavia (&K)"},
    {IDS_QUADRIFY, u"四边化已选择模型"},
};

constexpr host::StringTable kStringTables[] = {{host::kLanguageChineseSimplified, kChinese}};

}  // namespace

std::span<const host::StringTable> stringTables() { return kStringTables; }

}  // namespace cvimp::resources
