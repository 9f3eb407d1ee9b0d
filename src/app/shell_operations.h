// The maker's web addresses and the two ways the application leaves for the outside:
// opening a web page, and starting a mail draft, both through the desktop's handlers.
// The link texts are built here and nowhere else.
#pragma once

#include <QString>

class QWidget;

inline constexpr char kMakerSite[] = "https://korvane.example/";
inline constexpr char kMakerSiteText[] = "korvane.example";
inline constexpr char kMakerAddress[] = "quillbox@korvane.example";
inline constexpr char kProductCode[] = "qbx";
inline constexpr char kFeatureRequestSubject[] = "Quillbox Request";
inline constexpr char kBugReportSubject[] = "Quillbox Bug Report";

// The online help page: "lnk_help" on the maker's site, s = product code, t = "index".
[[nodiscard]] QString OnlineHelpUrl();
// The donation page: "donate.php" on the maker's site, src = product code.
[[nodiscard]] QString DonateUrl();

// "mailto:" + address + "?subject=" + subject, the subject inserted as it is.
[[nodiscard]] QString MailtoLink(const QString& address, const QString& subject);

// Opens the target with the desktop's handler; the outcome is not checked. The owner
// window, when there is one, plays no part on this platform.
void OpenInShell(QWidget* owner, const QString& target);
void ComposeMail(QWidget* owner, const QString& address, const QString& subject);
