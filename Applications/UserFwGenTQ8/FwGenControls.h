#pragma once
// Control ids of the generator's form, shared by the logic (which names the
// control to focus after a failed check) and the window.
constexpr int IDC_XCF32P_PATH = 1000;
constexpr int IDC_FW_VERSION = 1001;
constexpr int IDC_CUST_ENUM = 1002;
constexpr int IDC_XCF16P_PATH = 1003;
constexpr int IDC_FPGA_TYPE = 1004;
constexpr int IDC_DETECT = 1005;
constexpr int IDC_OUTPUT_PATH = 1006;
constexpr int IDC_GENERATE = 1007;
constexpr int IDC_XCF32P_LABEL = 1008;
constexpr int IDC_XCF16P_LABEL = 1009;
constexpr int IDC_PRE_RELEASE = 1010;
constexpr int IDC_OVERWRITE_PROMPT = 1011;
constexpr int IDC_README_PATH = 1012;
constexpr int IDC_README_SEV = 1013;
constexpr int IDC_PROVIDER = 1014;
constexpr int IDC_LINK = 1016;

// FPGA types, by their index in the type list.
constexpr int kFpgaVirtex5LX50 = 0;
constexpr int kFpgaVirtex5SX95T = 1;
