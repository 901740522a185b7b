#pragma once

// The chooser of the automatic sentence-cutting plan: the plans of the table
// AudioCutPlan by name, the plan in use selected; OK makes the chosen plan the
// default, at once and for later runs of the program.

#include "UFrmModel.h"

class QLabel;
class QListWidget;
class TPiboSpeedButton;

class TFrmAudioCutSet : public TFrmModel {
    Q_OBJECT
public:
    explicit TFrmAudioCutSet(QWidget* parent = nullptr);

    QLabel* labCaption;
    TFrameShape* Shape1;
    QListWidget* lbPlan;
    TPiboSpeedButton* ppsbOk;
    TPiboSpeedButton* ppsbCancel;

    // Fills lbPlan from the table, in the order the database gives the rows;
    // the plan named like the one in use is selected. A failing query leaves
    // the names read so far.
    void FormCreate();
    void ppsbOkClick();
    void ppsbCancelClick();
};
