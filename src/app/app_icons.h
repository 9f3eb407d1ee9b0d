// The application's images, drawn as SVG in the resources and rendered at the sizes each
// place needs: the application icon, the toolbar's 48x48 images, and the email list's
// strip of 16x16 icons (blank, paper clip, red flag, exclamation mark, blue arrow, and the
// grey and the yellow envelope of deleted and unlisted recovered rows).
#pragma once

#include <QIcon>
#include <QList>
#include <initializer_list>

// An icon holding the SVG rendered at each size; empty when the resource is missing.
[[nodiscard]] QIcon SvgIcon(const QString& resource, std::initializer_list<int> sizes);
[[nodiscard]] QIcon AppIcon();
[[nodiscard]] QIcon ToolbarIcon(const QString& resource);
// In the order of EmailIcon (mailbox/email_columns.h).
[[nodiscard]] QList<QIcon> SmallImageList();
