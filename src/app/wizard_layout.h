// The frame the four export wizard steps share: the step's group box on top, Next and
// Cancel at the bottom right, Next the default button.
#pragma once

class QDialog;
class QPushButton;
class QWidget;

void LayOutWizardStep(QDialog& dialog, QWidget* group, QPushButton* next, QPushButton* cancel);
