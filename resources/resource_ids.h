#pragma once
// Identifiers of the plug-in's resources and commands.

// Strings (language 2052).
inline constexpr int IDS_LIBDESCRIPTION = 2;
inline constexpr int IDS_CATEGORY = 3;
inline constexpr int IDS_CVIMP = 4;  // action table, action context and action category
inline constexpr int IDS_IMPORT = 5;
inline constexpr int IDS_ABOUT = 6;
inline constexpr int IDS_CLASS_NAME = 8;
inline constexpr int IDS_HELP = 10;
inline constexpr int IDS_MENU_TITLE = 11;
inline constexpr int IDS_QUADRIFY = 12;

inline constexpr int IDR_ACCELERATOR = 101;
inline constexpr int IDD_IMPORT = 103;
inline constexpr int IDD_ABOUT = 104;
// The About window's user-agreement text, which reports clicks.
inline constexpr int IDC_USER_AGREEMENT = 1016;

// Commands.
inline constexpr int ID_IMPORT = 40001;
inline constexpr int ID_ABOUT = 40004;
inline constexpr int ID_HELP = 40006;
inline constexpr int ID_QUADRIFY = 40008;
