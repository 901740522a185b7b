#pragma once

// Qt's own texts in Chinese: the buttons, labels and messages that Qt's
// dialogs show (the open, save and folder dialogs, the standard buttons).

// Loads Qt's zh_CN catalogues from Qt's translations folder and installs them
// in the application; call once the application object exists. The catalogues
// belong to the application object and go with it. A second call changes
// nothing. False when the catalogues are not installed (Qt then shows its
// English texts).
bool InstallQtTranslations();
