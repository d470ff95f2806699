#pragma once
// The values of the read-back cases, shared by the test program and by the
// .rc files that windres compiles for comparison. UTF-8; the program sees them
// in code page 932, windres through "#pragma code_page(65001)".

// The main window's version resource: Japanese, Western European code page.
#define MAIN_COMMENTS "表示ソフト作者 http://www.quendro.example.jp/index.htm"
#define MAIN_COMPANY_NAME "Quendro Soft"
#define MAIN_FILE_DESCRIPTION "Quendro 実行ファイル"
#define MAIN_FILE_VERSION "1.00.4"
#define MAIN_INTERNAL_NAME "QUENDRO"
#define MAIN_LEGAL_COPYRIGHT "Copyright (C) 2001 Quendro Soft"
#define MAIN_ORIGINAL_FILENAME "QUENDRO.EXE"
#define MAIN_PRODUCT_NAME "Quendro"
#define MAIN_PRODUCT_VERSION "1.00"

// All twelve keys, values of odd and even lengths from 1 to 254 code units,
// the project flags (0x2A) and a library.
#define ODD_COMMENTS "a"
#define ODD_COMPANY_NAME "ab"
#define ODD_FILE_DESCRIPTION "日本"
#define ODD_FILE_VERSION "2.1.3.7"
#define ODD_INTERNAL_NAME "ｸｴﾝ"
#define ODD_LEGAL_COPYRIGHT "表ソ"
#define ODD_LEGAL_TRADEMARKS "(C) ソフト"
#define ODD_ORIGINAL_FILENAME "X.DLL"
#define ODD_PRODUCT_NAME "ソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcソフト表示abcｸｴﾝﾄﾞﾛ"
#define ODD_PRIVATE_BUILD "私用"
#define ODD_SPECIAL_BUILD "特別版 1"
#define ODD_PRODUCT_VERSION "2.1"
