// Resource identifiers of the string table, dialogs, menus and icons, grouped by
// use. They sit at the bottom of the house: the resource scripts beside them and
// every layer that loads a resource from the module's own image include them.
#pragma once

// --- product -------------------------------------------------------------------
#define IDS_PRODUCT_NAME            101  // product name: product button, message captions

// --- service addresses ---------------------------------------------------------
// Host names inside these addresses are replaced at run time (load hosts, the
// ForceServer setting), so every address on the main host spells IDS_MAIN_HOST.
#define IDS_HOME_URL                102  // home page (main host)
#define IDS_MY_IMAGES_URL           103  // user's pictures (account host)
#define IDS_INSTALL_DONE_URL        104  // page shown after installation
#define IDS_UPLOAD_URL              105  // picture upload and transload endpoint (main host)
#define IDS_RESULTS_PAGE_URL        106  // result page for several items (account host)
#define IDS_BLOG_POST_URL           107  // blog posting page; the short link is appended
#define IDS_SLIDESHOW_IMPORT_URL    108  // slideshow import (main host)
#define IDS_LOGIN_URL               109  // login page (profile host); the user id is appended
#define IDS_LOGOUT_URL              110  // logout page (profile host)
#define IDS_VIDEO_UPLOAD_URL        113  // video upload endpoint (video host)
#define IDS_VIDEO_THUMBNAIL_URL     114  // generic thumbnail picture of a video without one
#define IDS_MY_VIDEOS_URL           115  // user's videos (account host)
#define IDS_SEARCH_URL              116  // search; the query text is appended
#define IDS_UPDATE_URL              117  // update document of the toolbar host

// --- host names ----------------------------------------------------------------
#define IDS_MAIN_HOST               119  // canonical web host, replaced by load hosts
#define IDS_DOMAIN                  120  // bare domain: "is this the service?" checks
#define IDS_LOAD_HOST_PATTERN       121  // "load%i." + domain, formatted with 1..10
#define IDS_ACCOUNT_HOST            124  // host of the user's pages
#define IDS_PROFILE_HOST            125  // host of login, logout and search

// --- file dialog ---------------------------------------------------------------
#define IDS_FILE_DIALOG_TITLE       118  // title of the upload file dialog
#define IDS_FILTER_PICTURES         129  // "|"-separated filter pairs: pictures only
#define IDS_FILTER_VIDEOS           130  // videos only
#define IDS_FILTER_ALL              131  // all supported formats, then each kind; the
                                         // video pattern list is read from it as well
#define IDS_UPLOAD_BUTTON           165  // OK button text of the upload file dialog

// --- progress dialog -----------------------------------------------------------
#define IDS_PROGRESS_UPLOADING      126  // "Uploading %s"
#define IDS_PROGRESS_CONVERTING     127  // "Converting %s"
#define IDS_PROGRESS_FILE_N_OF_M    128  // "File %i of %i"
#define IDS_TRANSFER_AMOUNT         560  // transfer line: "%s of %s"
#define IDS_TRANSFER_RATE           561  // "%s/s"
#define IDS_TRANSFER_SECONDS_LEFT   562
#define IDS_TRANSFER_MINUTES_LEFT   563
#define IDS_TRANSFER_HOURS_LEFT     564
#define IDS_TRANSFER_WAITING        565  // every byte sent, the answer awaited
#define IDS_TRANSFER_SEPARATOR      566  // between the line's parts

// --- lists, labels and tooltips of dialogs and messages ------------------------
#define IDS_UNSUPPORTED_FILE_TYPE   140  // warning dialog descriptions
#define IDS_FILE_TOO_BIG            141
#define IDS_NOTHING_TO_UPLOAD       142  // page without pictures
#define IDS_TAGS_LABEL              143  // tag list rows
#define IDS_PERMISSIONS_LABEL       144
#define IDS_PERMISSION_PRIVATE      145
#define IDS_PERMISSION_PUBLIC       146
#define IDS_TAGS_LIST_TIP           147  // tag dialog balloon tips
#define IDS_COMMON_TAGS_TIP         148
#define IDS_WARNING_FILE_COLUMN     200  // warning dialog list columns
#define IDS_WARNING_DESCRIPTION_COLUMN 201
#define IDS_SLIDESHOW_FILE_COLUMN   205  // order dialog list columns
#define IDS_SLIDE_ORDER_FILE_COLUMN 210

// --- toolbar buttons and tooltips ----------------------------------------------
#define IDS_BUTTON_UPLOAD           150
#define IDS_BUTTON_SLIDESHOW        151
#define IDS_BUTTON_MY_IMAGES        152
#define IDS_BUTTON_PASTE            153
#define IDS_BUTTON_SCREENSHOT       154
#define IDS_BUTTON_LOGIN            155
#define IDS_BUTTON_LOGOUT           156
#define IDS_PRODUCT_MENU_TIP        160  // tooltip of the product button's arrow
// waiting uploads: the count button, its menu and the notice
#define IDS_OUTBOX_COUNT            720  // "%s waiting"
#define IDS_OUTBOX_SEND_NOW         721
#define IDS_OUTBOX_DISCARD          722
#define IDS_OUTBOX_DISCARD_ALL      723
#define IDS_OUTBOX_SENT             724  // "%s waiting uploads were sent"
#define IDS_OUTBOX_ATTEMPTS         725  // "attempts: %s"
#define IDS_OUTBOX_FILE_GONE        726
#define IDS_OUTBOX_FILE_CHANGED     727
#define IDS_OUTBOX_NOT_TRIED        728
#define IDS_OUTBOX_FULL             735  // a failed item's error: the outbox cannot keep it
#define IDS_DROP_AVAILABLE_TIP      161  // text-area indicator: drop possible
#define IDS_DROP_UNAVAILABLE_TIP    162  // text-area indicator: no text area
#define IDS_TEXTAREA_TITLE          163  // title given to the page's text areas
#define IDS_BUTTON_MY_VIDEOS        164
#define IDS_SEARCH_LABEL            550
#define IDS_UPLOAD_MENU_TIP         570  // tooltip of the Upload button's arrow
#define IDS_MENU_UPLOAD_FILES_ITEM  571  // Upload drop-down: the file dialog
#define IDS_MENU_UPLOAD_CLIPBOARD   572  // Upload drop-down: the clipboard's content

// --- upload from the clipboard: caption and what went wrong --------------------
#define IDS_CLIPBOARD_CAPTION       575
#define IDS_CLIPBOARD_NOTHING       576  // nothing the product can send
#define IDS_CLIPBOARD_BUSY          577  // another program holds the clipboard
#define IDS_CLIPBOARD_TOO_LARGE     578  // "%i x %i" pixels
#define IDS_CLIPBOARD_TOO_BIG       579  // over the upload size cap
#define IDS_CLIPBOARD_DAMAGED       580  // a picture that cannot be read
#define IDS_CLIPBOARD_NOT_SAVED     581  // the temporary copy could not be written

// --- link templates ------------------------------------------------------------
// Placeholders: %link%, %ad_link%, %short_link%, %thumb%, %select%, %img%.
#define IDS_LINK_HTML_OUTER         170
#define IDS_LINK_HTML_INNER         171
#define IDS_LINK_FORUM1_OUTER       177
#define IDS_LINK_FORUM1_INNER       178
#define IDS_LINK_FORUM2_OUTER       179
#define IDS_LINK_FORUM2_INNER       180
#define IDS_LINK_FRIEND_OUTER       181
#define IDS_LINK_FRIEND_INNER       182
// Result-page forms: %submit_url%, %formatted_link%, %permissions%, %permission%,
// %finalize%, %public%, %optsize%, %effect%, %background%.
#define IDS_FORM_RESULTS            172  // several uploaded items
#define IDS_FORM_RESULTS_OPTION     173
#define IDS_FORM_RESULTS_PERMISSION 174
#define IDS_FORM_SLIDESHOW          175  // slideshow import
#define IDS_FORM_SLIDESHOW_OPTION   176

// --- display tables (index = position in the list) -----------------------------
#define IDS_RESIZE_FIRST            250  // 250..258: picture sizes
#define IDS_RESIZE_LAST             258
#define IDS_SLIDESHOW_SIZE_FIRST    270  // 270..272: slideshow sizes
#define IDS_SLIDESHOW_SIZE_LAST     272
#define IDS_EFFECT_FIRST            280  // 280..283: slideshow transitions
#define IDS_EFFECT_LAST             283
#define IDS_COLOR_FIRST             300  // 300..314: slideshow backgrounds
#define IDS_COLOR_LAST              314

// --- uninstallation ------------------------------------------------------------
#define IDS_SHUTDOWN_BROWSER_TEXT   500
#define IDS_SHUTDOWN_BROWSER_CAPTION 501
#define IDS_CLOSE_BROWSERS_TEXT     502  // the number of open browser windows, before closing them
#define IDS_END_BROWSERS_TEXT       503  // the number of windows that did not close

// --- Explorer right-click menu -------------------------------------------------
#define IDS_MENU_UPLOAD_FILE        510
#define IDS_MENU_UPLOAD_FILES       511
#define IDS_MENU_TAG_FILE           512
#define IDS_MENU_TAG_FILES          513
#define IDS_MENU_POST_TO_BLOG       514

// --- messages ------------------------------------------------------------------
#define IDS_CAPTION_PROCESSING_ERROR 700  // "Processing error..."
#define IDS_ERROR_DETAILS           702  // appended to a message that has details
#define IDS_ERROR_CANNOT_OPEN_FILE  704
#define IDS_ERROR_CANNOT_UPLOAD     705
#define IDS_CAPTION_UPLOAD_ERROR    706
#define IDS_ERROR_CANNOT_TRANSLOAD  707
#define IDS_CAPTION_TRANSLOAD_ERROR 708
#define IDS_ERROR_FILE_TOO_BIG      709
#define IDS_ERROR_SOURCE_NOT_FOUND  710
#define IDS_ERROR_TRANSLOAD_FETCH   711
#define IDS_ERROR_INVALID_FILE      712
#define IDS_ERROR_TOO_MANY_FILES    713  // more files chosen than the file dialog can hand back

// --- progress dialog: template, controls and icon ------------------------------
#define IDD_PROGRESS                107  // modeless progress dialog of an upload
#define IDC_PROGRESS_LABEL          204  // what is being done
#define IDC_PROGRESS_BAR            205  // progress over all items
#define IDC_PROGRESS_SIZE           508  // size of the current item
#define IDC_PROGRESS_TRANSFER       509  // bytes sent, rate and time left
#define IDI_UPLOAD                  215  // upload icon: progress dialog, toolbar image 0

// --- upload options dialogs: templates and controls ----------------------------
// The page pictures dialog and the panel below the upload file dialog share
// their option controls' ids.
#define IDD_UPLOAD_IMAGES           231  // pictures of a page: choice and upload options
#define IDD_FILES_FOR_UPLOAD        118  // options panel inside the upload file dialog
#define IDC_RESIZE                  201  // "Resize image?"
#define IDC_SIZE_LIST               202  // size list
#define IDC_BUILD_SLIDESHOW         203
#define IDC_IMAGE_LIST              207  // page pictures, with check boxes
#define IDC_SIZE_LABEL              209
#define IDC_EFFECT_LABEL            240
#define IDC_EFFECT                  241
#define IDC_BACKGROUND_LABEL        242
#define IDC_BACKGROUND              243  // extended combo box with colour swatches
#define IDC_REMOVE_SIZE_BAR         249
#define IDC_TAGS_LABEL              500
#define IDC_TAGS                    501
#define IDC_INDIVIDUAL_TAGS         502
#define IDC_MIN_WIDTH               512
#define IDC_MIN_HEIGHT              513
#define IDC_APPLY_FILTER            514
// --- end of upload options dialogs ---------------------------------------------

// --- slideshow dialogs: templates, the order list's menu and its commands --------
// Format, Effect and Background use the ids of the upload options dialogs
// (IDC_SIZE_LIST, IDC_EFFECT, IDC_BACKGROUND and their labels); the order
// lists are IDC_IMAGE_LIST.
#define IDD_FILES_FOR_SLIDESHOW     240  // choices panel inside the slideshow file dialog
#define IDD_SLIDE_ORDER             241  // slide order only
#define IDD_SLIDESHOW               243  // slide order with size, effect and background
#define IDR_CHECK_MENU              500  // "Check All" / "Uncheck All" of a check-box list
#define ID_CHECK_ALL                39000
#define ID_UNCHECK_ALL              39001
// --- end of slideshow dialogs ----------------------------------------------------
// --- tag dialogs: templates, controls and the permission icons -----------------
#define IDD_TAG                     234  // tags of one picture, borderless, at the mouse
#define IDC_TAG_TEXT                208
#define IDD_TAGS                    508  // "Tags...": per-picture tags and permissions
#define IDC_TAGS_LIST               503  // one owner-drawn row per picture
#define IDC_COMMON_TAGS_LABEL       504
#define IDC_COMMON_TAGS             505
#define IDC_TAGS_OK                 506
#define IDB_PERMISSIONS             510  // 15-pixel images: 0 private, 1 public; magenta is clear

// --- cancel-tagging question: template -------------------------------------------
// Buttons: "Yes" IDYES, "No" IDCANCEL, "Continue later" IDNO.
#define IDD_CANCEL_TAGGING          514

// --- toolbar window: button icons (image list order) and the options menu -------
#define IDI_DROP_AVAILABLE          220
#define IDI_DROP_UNAVAILABLE        212
#define IDI_UPLOAD_BUTTON           226  // Upload and Slideshow
#define IDI_SCREENSHOT              501
#define IDI_MY_IMAGES               224
#define IDI_MY_VIDEOS               514
#define IDI_PASTE                   512
#define IDI_LOGIN                   513
#define IDI_LOGOUT                  237
#define IDI_SPARE                   502  // image-list slots 11 and 12 (no button shows them)
#define IDI_SEARCH                  888  // search button
#define IDR_PRODUCT_MENU            229

// --- about, update, login and warning dialogs ------------------------------------
#define IDI_PRODUCT                 245  // product picture: about box, update question
#define IDD_ABOUT                   230
#define IDC_ABOUT_VERSION           1100 // "Version ..." line, filled from the version resource
#define IDD_UPDATE                  515
#define IDD_REGISTER                244  // login invitation: "Register" IDOK, "No Thanks" IDCANCEL
#define IDD_WARNING                 208  // "Continue" IDOK, "Cancel" IDCANCEL
#define IDC_WARNING_LIST            207
// --- right-click menus: the browser menu pages (HTML resources) ------------------
#define IDR_MENU_UPLOAD_ALL_IMAGES  5000
#define IDR_MENU_UPLOAD_IMAGE       5001
#define IDR_MENU_TAG_IMAGE          5002
#define IDR_MENU_POST_TO_BLOG       5003
#define IDR_MENU_TRANSLOAD_IMAGE    5004
