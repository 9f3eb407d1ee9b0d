#include "app/quillbox_app.h"

int main(int /*argc*/, char** argv) {
    CQuillboxApp app(argv[0]);
    if (!app.InitInstance()) {
        return 1;
    }
    return app.exec();
}
