#pragma once
// The toolkit's own texts (file dialogs, standard buttons, the overwrite question) in Japanese, as the
// rest of the program is.

class QCoreApplication;
class QTranslator;

namespace vowelscope {

// Installs the toolkit's Japanese translation from its translations folder into `application`, which
// owns it; null when the translation is not installed, the texts then stay English.
QTranslator* InstallToolkitTranslation(QCoreApplication& application);

}  // namespace vowelscope
