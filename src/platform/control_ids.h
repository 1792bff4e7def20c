/* Ids of the executable's dialog controls and resources.
 *
 * One list for both readers: the resource compiler takes the #define lines
 * (the resource scripts in src/resources include this file), the C++ code
 * the constants in hs::platform::control below. The pages' controls are described in
 * src/wizard/pages.h; every page template uses these ids and no others.
 * Kept to what the resource compiler's preprocessor understands: include
 * guards, #define and comments.
 */
#ifndef HS_PLATFORM_CONTROL_IDS_H
#define HS_PLATFORM_CONTROL_IDS_H

/* Resources. */
#define HS_ICON_APPLICATION 1  /* the installer's icon, also the windows' icon */
#define HS_BITMAP_SIDE 2       /* side picture of the picture looks, 212 x 424, 24 bits */
#define HS_BITMAP_BANNER 3     /* banner of the banner look, 600 x 64, 24 bits */

/* Controls of the page templates. */
#define HS_ID_NEXT 1001             /* next / accept / OK */
#define HS_ID_CANCEL 1003           /* cancel / decline */
#define HS_ID_VIEWER 1005           /* licence and read-me text */
#define HS_ID_PROGRESS_BAR 1007
#define HS_ID_TEXT 1009             /* heading, prompt or page text */
#define HS_ID_STATUS 1011           /* progress status line */
#define HS_ID_BROWSE 1013
#define HS_ID_EDIT 1015             /* folder or Start-menu name */
#define HS_ID_LANGUAGE_LIST 1017
#define HS_ID_PASSWORD 1019
#define HS_ID_SIDE_PICTURE 1021
#define HS_ID_OPEN_DOCUMENT 1023    /* summary check boxes */
#define HS_ID_LAUNCH_PROGRAM 1025
#define HS_ID_SHOW_LOG 1027
#define HS_ID_OPEN_SECOND_ITEM 1029
#define HS_ID_BANNER 1032
#define HS_ID_BANNER_TITLE 1034
#define HS_ID_BANNER_TEXT 1035
#define HS_ID_SPACE_NEEDED 1036
#define HS_ID_SPACE_FREE 1037
#define HS_ID_PASSWORD_LABEL 1039
#define HS_ID_LINK 1040
#define HS_ID_PANEL 1042            /* content panel of the full-picture look */
/* The crash dialog ("ExceptionDlg"). */
#define HS_ID_CRASH_QUESTION 1050   /* label of the what-were-you-doing text */
#define HS_ID_CRASH_DESCRIPTION 1051
#define HS_ID_CRASH_MAIL_LABEL 1052
#define HS_ID_CRASH_MAIL 1053
/* Commands a page posts itself once it is up: focus the main control. */
#define HS_ID_FOCUS_FOLDER_COMMAND 1043
#define HS_ID_FOCUS_COMMAND 1044

#ifndef RC_INVOKED
namespace hs::platform::control {
inline constexpr int kNext = HS_ID_NEXT;
inline constexpr int kCancel = HS_ID_CANCEL;
inline constexpr int kViewer = HS_ID_VIEWER;
inline constexpr int kProgressBar = HS_ID_PROGRESS_BAR;
inline constexpr int kText = HS_ID_TEXT;
inline constexpr int kStatus = HS_ID_STATUS;
inline constexpr int kBrowse = HS_ID_BROWSE;
inline constexpr int kEdit = HS_ID_EDIT;
inline constexpr int kLanguageList = HS_ID_LANGUAGE_LIST;
inline constexpr int kPassword = HS_ID_PASSWORD;
inline constexpr int kSidePicture = HS_ID_SIDE_PICTURE;
inline constexpr int kOpenDocument = HS_ID_OPEN_DOCUMENT;
inline constexpr int kLaunchProgram = HS_ID_LAUNCH_PROGRAM;
inline constexpr int kShowLog = HS_ID_SHOW_LOG;
inline constexpr int kOpenSecondItem = HS_ID_OPEN_SECOND_ITEM;
inline constexpr int kBanner = HS_ID_BANNER;
inline constexpr int kBannerTitle = HS_ID_BANNER_TITLE;
inline constexpr int kBannerText = HS_ID_BANNER_TEXT;
inline constexpr int kSpaceNeeded = HS_ID_SPACE_NEEDED;
inline constexpr int kSpaceFree = HS_ID_SPACE_FREE;
inline constexpr int kPasswordLabel = HS_ID_PASSWORD_LABEL;
inline constexpr int kLink = HS_ID_LINK;
inline constexpr int kPanel = HS_ID_PANEL;
inline constexpr int kCrashQuestion = HS_ID_CRASH_QUESTION;
inline constexpr int kCrashDescription = HS_ID_CRASH_DESCRIPTION;
inline constexpr int kCrashMailLabel = HS_ID_CRASH_MAIL_LABEL;
inline constexpr int kCrashMail = HS_ID_CRASH_MAIL;
inline constexpr int kFocusFolderCommand = HS_ID_FOCUS_FOLDER_COMMAND;
inline constexpr int kFocusCommand = HS_ID_FOCUS_COMMAND;

inline constexpr int kApplicationIcon = HS_ICON_APPLICATION;
inline constexpr int kSideBitmap = HS_BITMAP_SIDE;
inline constexpr int kBannerBitmap = HS_BITMAP_BANNER;
}  // namespace hs::platform::control
#endif

#endif
