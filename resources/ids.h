// Every resource number and control id, for the templates and the code that
// drives them alike. A control id is unique within its template only: 1008 is
// the About text and the capture's "Bytes Saved".
#pragma once

namespace tavirel {

// Dialog templates.
inline constexpr int kAboutDialog = 100;
inline constexpr int kSettingsDialog = 101;
inline constexpr int kCaptureDialog = 102;
inline constexpr int kSendFileDialog = 103;
inline constexpr int kUtilitiesDialog = 104;
inline constexpr int kPictureEditorDialog = 105;
inline constexpr int kSoundDialog = 106;

// Menu, accelerators, pictures.
inline constexpr int kMainAccelerators = 200;
inline constexpr int kMainMenu = 300;
inline constexpr int kMainIcon = 400;
inline constexpr int kTerminalBitmap = 500;

// Menu commands.
inline constexpr int CMD_CONNECT = 256;
inline constexpr int CMD_DISCONNECT = 257;
inline constexpr int CMD_EXIT = 258;
inline constexpr int CMD_SETTINGS = 259;
inline constexpr int CMD_ABOUT = 260;
inline constexpr int CMD_SEND_FILE = 261;
inline constexpr int CMD_PICTURE_EDIT = 262;
inline constexpr int CMD_CAPTURE = 40001;
inline constexpr int CMD_UTILITIES = 40002;
inline constexpr int CMD_STATUS_BAR = 40003;  // View: show or hide the status bar

// Strings.
inline constexpr int kStringComPrefix = 784;      // "COM"
inline constexpr int kStringFirstBaud = 795;      // "45" ... "128k" (17), then "256k"
inline constexpr int kStringFirstParity = 816;    // "None" ... "Space" (5)
inline constexpr int kStringFirstStopBits = 832;  // "1", "1.5", "2"

// The buttons every dialog knows, and the results of a message box.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// About (100).
inline constexpr int IDC_ABOUT_ICON = 528;
inline constexpr int IDC_ABOUT_VERSION = 529;
inline constexpr int IDC_ABOUT_AUTHOR = 530;
inline constexpr int IDC_ABOUT_TEXT = 1008;

// Settings (101).
inline constexpr int IDC_PORT = 544;
inline constexpr int IDC_BAUD = 545;
inline constexpr int IDC_DATA_BITS = 546;
inline constexpr int IDC_PARITY = 547;
inline constexpr int IDC_STOP_BITS = 548;
inline constexpr int IDC_DTR_DSR = 549;
inline constexpr int IDC_RTS_CTS = 550;
inline constexpr int IDC_XON_XOFF = 551;
inline constexpr int IDC_AUTOWRAP = 552;
inline constexpr int IDC_NEW_LINE = 553;
inline constexpr int IDC_LOCAL_ECHO = 554;
inline constexpr int IDC_FONT = 555;
inline constexpr int IDC_CN_RECEIVE = 556;
inline constexpr int IDC_DISPLAY_ERRORS = 557;
inline constexpr int IDC_SOUND = 558;  // opens the Sound dialog
inline constexpr int IDC_SAVE = IDOK;
inline constexpr int IDC_DONE = IDCANCEL;
inline constexpr int IDC_BAUDOT = 1000;
inline constexpr int IDC_ASCII = 1001;
inline constexpr int IDC_TERMINAL = 1005;

// Capture (102). The reader shows its counters in 1004 and 1008 of whichever
// dialog runs the transfer.
inline constexpr int IDC_START_CAPTURE = 1002;
inline constexpr int IDC_CAPTURE_NAME = 1003;
inline constexpr int IDC_BYTES_READ = 1004;
inline constexpr int IDC_STOP_CAPTURE = 1006;
inline constexpr int IDC_CAPTURE_EXIT = 1007;
inline constexpr int IDC_BYTES_SAVED = 1008;

// Send File (103).
inline constexpr int IDC_SEND_NAME = 1009;
inline constexpr int IDC_BYTES_SENT = 1010;
inline constexpr int IDC_SEND = 1011;
inline constexpr int IDC_SEND_EXIT = 1012;
inline constexpr int IDC_GET_FILE = 1031;

// Utilities (104).
inline constexpr int IDC_TO_ITA2 = 1014;
inline constexpr int IDC_CLEAN_TAPE = 1015;
inline constexpr int IDC_ITA2_TO_ASCII = 1016;
inline constexpr int IDC_TO_ITA2_SUBSET = 1017;
inline constexpr int IDC_INPUT_PATH = 1018;
inline constexpr int IDC_OUTPUT_PATH = 1019;
inline constexpr int IDC_UTILITIES_EXIT = 1021;

// Picture editor (105).
inline constexpr int IDC_EDITOR_OK = 1023;
inline constexpr int IDC_EDITOR_EXIT = 1024;
inline constexpr int IDC_EDITOR_LIST = 1025;
inline constexpr int IDC_PICTURE_TEXT = 1026;
inline constexpr int IDC_LOAD_FILE = 1027;
inline constexpr int IDC_SAVE_FILE = 1028;
inline constexpr int IDC_SAVE_PATH = 1029;
inline constexpr int IDC_LOADED_PATH = 1030;

// Sound (106); OK and Cancel are IDOK and IDCANCEL.
inline constexpr int IDC_SOUND_OUTPUT = 1040;
inline constexpr int IDC_SOUND_INPUT = 1041;
inline constexpr int IDC_SOUND_MARK = 1042;
inline constexpr int IDC_SOUND_SHIFT = 1043;
inline constexpr int IDC_SOUND_NORMAL = 1044;
inline constexpr int IDC_SOUND_REVERSED = 1045;
inline constexpr int IDC_SOUND_LEAD_IN = 1046;
inline constexpr int IDC_SOUND_TAIL = 1047;
inline constexpr int IDC_PTT_NONE = 1048;
inline constexpr int IDC_PTT_RTS = 1049;
inline constexpr int IDC_PTT_DTR = 1050;
inline constexpr int IDC_PTT_PORT = 1051;

}  // namespace tavirel
