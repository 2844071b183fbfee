// The wizard's entry: the application titled "Corvane", the form, the message loop; leaving the loop
// destroys the form, which saves the settings.

#include <QApplication>
#include <QIcon>

#include "app/UnitForm.h"
#include "app/UnitFormTranslation.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  QApplication::setDesktopFileName(QStringLiteral("corvane"));
  QApplication::setFont(corvane::WizardFont());
  corvane::InstallQtTranslation(app);
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  corvane::TForm1 form(arguments);
  QApplication::setWindowIcon(form.windowIcon());
  form.show();
  return QApplication::exec();
}
