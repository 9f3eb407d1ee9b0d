// CAboutDlg: the modal about box: the application icon, name and version, the maker's
// notice, and links to the maker's web site and donation page. Its size is given in
// dialog units of its font, as the box was laid out.
#pragma once

#include <QDialog>

class CHyperlinkStatic;

inline constexpr char kAboutCaption[] = "About Korvane Quillbox";
inline constexpr char kVersionText[] = "Version 1.8";
inline constexpr char kMakerNotice[] = "Copyright (C) Korvane. All rights reserved.";

class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    [[nodiscard]] CHyperlinkStatic* WebsiteLink() const { return m_pWebsite; }
    [[nodiscard]] CHyperlinkStatic* DonateLink() const { return m_pDonate; }

    // Pixels of a dialog-unit size in the font.
    [[nodiscard]] static QSize DialogUnitsToPixels(QSize units, const QFont& font);

private:
    CHyperlinkStatic* m_pWebsite;
    CHyperlinkStatic* m_pDonate;
};
