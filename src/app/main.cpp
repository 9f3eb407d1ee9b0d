#include <QStringList>
#include <cstdio>

#include "app/quillbox_app.h"

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    // Answered without a window, so that it works where there is no display.
    if (arguments == QStringList{QStringLiteral("--version")}) {
        std::printf("Korvane Quillbox %s\n", QUILLBOX_VERSION);
        return 0;
    }
    CQuillboxApp app(argv[0]);
    if (!app.InitInstance(arguments)) {
        return 1;
    }
    return app.exec();
}
