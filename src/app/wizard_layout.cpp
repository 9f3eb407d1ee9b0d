#include "app/wizard_layout.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Wide enough for a path and the longest format text without eliding them.
constexpr int kMinimumStepWidth = 480;

}  // namespace

void LayOutWizardStep(QDialog& dialog, QWidget* group, QPushButton* next, QPushButton* cancel) {
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(next);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(group);
    layout->addLayout(buttons);

    next->setDefault(true);
    next->setAutoDefault(true);
    cancel->setAutoDefault(false);
    dialog.setMinimumWidth(kMinimumStepWidth);
}
