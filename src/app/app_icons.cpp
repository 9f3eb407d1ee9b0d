#include "app/app_icons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The images live in a static library, whose resource table nothing else would pull in.
static void InitQuillboxResources() {
    Q_INIT_RESOURCE(quillbox);
}

QIcon SvgIcon(const QString& resource, std::initializer_list<int> sizes) {
    static const bool s_bResources = (InitQuillboxResources(), true);
    (void)s_bResources;
    QSvgRenderer renderer(resource);
    QIcon icon;
    if (!renderer.isValid()) {
        return icon;
    }
    for (int size : sizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon AppIcon() {
    return SvgIcon(QStringLiteral(":/quillbox/quillbox.svg"), {16, 24, 32, 48, 64, 128, 256});
}

QIcon ToolbarIcon(const QString& resource) {
    return SvgIcon(resource, {48});
}

QList<QIcon> SmallImageList() {
    static const char* const kImages[] = {":/quillbox/list_blank.svg",
                                          ":/quillbox/list_attachment.svg",
                                          ":/quillbox/list_flag.svg",
                                          ":/quillbox/list_high_priority.svg",
                                          ":/quillbox/list_low_priority.svg",
                                          ":/quillbox/list_recovered_deleted.svg",
                                          ":/quillbox/list_recovered_unlisted.svg"};
    QList<QIcon> images;
    for (const char* image : kImages) {
        images.push_back(SvgIcon(QString::fromLatin1(image), {16, 32}));
    }
    return images;
}
