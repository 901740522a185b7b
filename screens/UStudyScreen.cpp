#include "UStudyScreen.h"

#include "UFrmAudioCutSet.h"
#include "UFrmBrowseRecite.h"
#include "UFrmFreeSentence.h"
#include "UFrmSingleSentence.h"
#include "UFrmStudyRecord.h"
#include "UFrmStudySpeak.h"
#include "UFrmTranslateTrain.h"
#include "UFrmVFreeSentence.h"
#include "UFrmVSingleSentence.h"
#include "UFrmVStudySpeak.h"
#include "UFrmVTranslateTrain.h"
#include "UFrmVideoBrowseRecite.h"

#include <QtCore/QHash>

#include <stdexcept>

namespace {
// Only factories (plain functions), never a Qt object: the table may outlive
// the application object.
QHash<QString, TFormFactory>& Factories()
{
    static QHash<QString, TFormFactory> table;
    return table;
}
}  // namespace

TStudyScreen* AsStudyScreen(QWidget* form)
{
    return dynamic_cast<TStudyScreen*>(form);
}

void RegisterFormFactory(const QString& formName, TFormFactory factory)
{
    if (factory)
        Factories().insert(formName, std::move(factory));
    else
        Factories().remove(formName);
}

bool HasFormFactory(const QString& formName)
{
    return Factories().contains(formName);
}

QStringList RegisteredFormNames()
{
    QStringList names = Factories().keys();
    names.sort();
    return names;
}

TForm* CreateRegisteredForm(const QString& formName, QWidget* parent)
{
    const auto it = Factories().constFind(formName);
    if (it == Factories().constEnd())
        throw std::runtime_error("No form is registered under the name " + formName.toStdString());
    TForm* form = (*it)(parent);
    if (!form)
        throw std::runtime_error("The factory of " + formName.toStdString() + " made no form");
    form->setObjectName(formName);
    return form;
}

void RegisterStudyScreens()
{
    // Each study screen and each window of the main window adds its line here.
    RegisterFormFactory(QStringLiteral("FrmAudioCutSet"), [](QWidget* parent) { return new TFrmAudioCutSet(parent); });
    RegisterFormFactory(QStringLiteral("FrmBrowseRecite"),
                        [](QWidget* parent) { return new TFrmBrowseRecite(parent); });
    RegisterFormFactory(QStringLiteral("FrmVideoBrowseRecite"),
                        [](QWidget* parent) { return new TFrmVideoBrowseRecite(parent); });
    RegisterFormFactory(QStringLiteral("FrmStudySpeak"), [](QWidget* parent) { return new TFrmStudySpeak(parent); });
    RegisterFormFactory(QStringLiteral("FrmVStudySpeak"), [](QWidget* parent) { return new TFrmVStudySpeak(parent); });
    RegisterFormFactory(QStringLiteral("FrmTranslateTrain"),
                        [](QWidget* parent) { return new TFrmTranslateTrain(parent); });
    RegisterFormFactory(QStringLiteral("FrmVTranslateTrain"),
                        [](QWidget* parent) { return new TFrmVTranslateTrain(parent); });
    RegisterFormFactory(QStringLiteral("FrmStudyRecord"), [](QWidget* parent) { return new TFrmStudyRecord(parent); });
    RegisterFormFactory(QStringLiteral("FrmSingleSentence"),
                        [](QWidget* parent) { return new TFrmSingleSentence(parent); });
    RegisterFormFactory(QStringLiteral("FrmVSingleSentence"),
                        [](QWidget* parent) { return new TFrmVSingleSentence(parent); });
    RegisterFormFactory(QStringLiteral("FrmFreeSentence"), [](QWidget* parent) { return new TFrmFreeSentence(parent); });
    RegisterFormFactory(QStringLiteral("FrmVFreeSentence"),
                        [](QWidget* parent) { return new TFrmVFreeSentence(parent); });
}
