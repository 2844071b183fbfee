// The form's pages and controls: captions, item order, ranges, initial states and positions.

#include <QAbstractSpinBox>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <algorithm>

#include "app/UnitForm.h"
#include "app/UnitFormFileList.h"

namespace corvane {

namespace {

constexpr int kClientWidth = 442;
constexpr int kClientHeight = 243;
const QRect kGroup(24, 16, 385, 161);
const QRect kGroupHigh(24, 8, 385, 161);  // pages 4 and 5
const QRect kBackButton(256, 192, 73, 25);
const QRect kNextButton(336, 192, 73, 25);

template <typename W>
W* Make(QWidget* parent, const char* name, const QRect& geometry) {
  auto* w = new W(parent);
  w->setObjectName(QLatin1String(name));
  w->setGeometry(geometry);
  return w;
}

QWidget* MakePage(QStackedWidget* pages, const char* name) {
  auto* page = new QWidget(pages);
  page->setObjectName(QLatin1String(name));
  pages->addWidget(page);
  return page;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
  auto* b = Make<QPushButton>(parent, name, geometry);
  b->setText(caption);
  b->setAutoDefault(false);
  return b;
}

QGroupBox* MakeGroup(QWidget* page, const char* name, const QString& caption, const QRect& geometry) {
  auto* g = Make<QGroupBox>(page, name, geometry);
  g->setTitle(caption);
  return g;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, QPoint at, int width = 0) {
  auto* l = new QLabel(caption, parent);
  l->setObjectName(QLatin1String(name));
  l->move(at);
  l->adjustSize();
  if (width > 0) l->resize(width, std::max(l->height(), l->fontMetrics().height() + 2));
  return l;
}

// A radio group: a group box with its items stacked, none chosen; the items are named
// "<group>_Item<index>" and sit in one exclusive button group.
void AddRadioItems(QGroupBox* group, const QStringList& items, int top, int step) {
  auto* buttons = new QButtonGroup(group);
  buttons->setObjectName(group->objectName() + QStringLiteral("_Items"));
  for (int i = 0; i < items.size(); ++i) {
    auto* radio = new QRadioButton(items[i], group);
    radio->setObjectName(group->objectName() + QStringLiteral("_Item") + QString::number(i));
    radio->move(16, top + i * step);
    radio->adjustSize();
    buttons->addButton(radio, i);
  }
}

}  // namespace

QFont WizardFont() {
  const QStringList installed = QFontDatabase::families();
  QString family = QStringLiteral("ＭＳ Ｐゴシック");
  for (const QString& candidate : {family, QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")}) {
    if (installed.contains(candidate)) {
      family = candidate;
      break;
    }
  }
  QFont font(family);
  font.setPixelSize(12);
  return font;
}

int TForm1::ItemIndex(const QGroupBox* radioGroup) {
  const auto* buttons = radioGroup->findChild<QButtonGroup*>();
  return buttons ? buttons->checkedId() : -1;
}

void TForm1::BuildPages() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Corvane"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(WizardFont());
  setFixedSize(kClientWidth, kClientHeight);
  move(292, 147);

  Pages = Make<QStackedWidget>(this, "Pages", QRect(0, 0, kClientWidth, kClientHeight));

  TabSheet1 = MakePage(Pages, "TabSheet1");
  RadioGroup1 = MakeGroup(TabSheet1, "RadioGroup1", QStringLiteral("処理を選択して下さい。"), kGroup);
  AddRadioItems(
      RadioGroup1,
      {QStringLiteral("公開鍵・秘密鍵のセットを作成する。"), QStringLiteral("ファイルを暗号化する。"),
       QStringLiteral("ファイルを復号化する。"), QStringLiteral("設定を行う。")},
      28, 28);
  Button2 = MakeButton(TabSheet1, "Button2", QStringLiteral("次へ(&>)"), kNextButton);

  TabSheet2 = MakePage(Pages, "TabSheet2");
  auto* group2 =
      MakeGroup(TabSheet2, "GroupBox1", QStringLiteral("鍵の作成に関する情報を入力して下さい"), kGroup);
  MakeLabel(group2, "Label1", QStringLiteral("暗号強度"), {24, 44});
  EdtBit = Make<QSpinBox>(group2, "EdtBit", QRect(184, 40, 81, 21));
  EdtBit->setRange(256, 2048);
  EdtBit->setSingleStep(1);
  EdtBit->setValue(1024);
  EdtBit->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  MakeLabel(group2, "Label2", QStringLiteral("ファイル名(E-mailアドレス)"), {24, 92});
  Edit1 = Make<QLineEdit>(group2, "Edit1", QRect(184, 88, 177, 21));
  Button3 = MakeButton(TabSheet2, "Button3", QStringLiteral("戻る(&<)"), kBackButton);
  Button6 = MakeButton(TabSheet2, "Button6", QStringLiteral("次へ(&>)"), kNextButton);

  TabSheet3 = MakePage(Pages, "TabSheet3");
  auto* group3 = MakeGroup(TabSheet3, "GroupBox2", QStringLiteral("送信する相手を選択して下さい。"), kGroup);
  FileListBox1 = Make<TFileListBox>(group3, "FileListBox1", QRect(16, 24, 353, 121));
  Button4 = MakeButton(TabSheet3, "Button4", QStringLiteral("戻る(&<)"), kBackButton);
  Button7 = MakeButton(TabSheet3, "Button7", QStringLiteral("次へ(&>)"), kNextButton);

  TabSheet4 = MakePage(Pages, "TabSheet4");
  auto* group4 =
      MakeGroup(TabSheet4, "GroupBox3", QStringLiteral("解読するファイルを選択して下さい。"), kGroupHigh);
  MakeLabel(group4, "Label3", QStringLiteral("解読したいファイル"), {16, 72});
  Edit4 = Make<QLineEdit>(group4, "Edit4", QRect(16, 92, 281, 21));
  Edit4->setReadOnly(true);
  Button9 = MakeButton(group4, "Button9", QStringLiteral("参照"), QRect(308, 92, 53, 21));
  Button5 = MakeButton(TabSheet4, "Button5", QStringLiteral("戻る(&<)"), kBackButton);
  Button8 = MakeButton(TabSheet4, "Button8", QStringLiteral("解読"), kNextButton);
  Button8->setEnabled(false);

  TabSheet5 = MakePage(Pages, "TabSheet5");
  auto* group5 =
      MakeGroup(TabSheet5, "GroupBox4", QStringLiteral("暗号化するファイルを選択して下さい。"), kGroupHigh);
  MakeLabel(group5, "Label4", QStringLiteral("暗号元ファイル"), {16, 72});
  Edit2 = Make<QLineEdit>(group5, "Edit2", QRect(16, 92, 281, 21));
  Edit2->setReadOnly(true);
  Button14 = MakeButton(group5, "Button14", QStringLiteral("参照"), QRect(308, 92, 53, 21));
  Button10 = MakeButton(TabSheet5, "Button10", QStringLiteral("戻る(&<)"), kBackButton);
  Button11 = MakeButton(TabSheet5, "Button11", QStringLiteral("暗号化"), kNextButton);
  Button11->setEnabled(false);

  TabSheet6 = MakePage(Pages, "TabSheet6");
  RadioGroup2 = MakeGroup(TabSheet6, "RadioGroup2",
                          QStringLiteral("暗号化したファイルの処理を選択して下さい。"), kGroup);
  AddRadioItems(RadioGroup2,
                {QStringLiteral("このまま終了する。"), QStringLiteral("ファイルのあるフォルダを開く。"),
                 QStringLiteral("メールに添付する。")},
                32, 32);
  Button12 = MakeButton(TabSheet6, "Button12", QStringLiteral("戻る(&<)"), kBackButton);
  Button13 = MakeButton(TabSheet6, "Button13", QStringLiteral("次へ(&>)"), kNextButton);

  TabSheet7 = MakePage(Pages, "TabSheet7");
  auto* group7 = MakeGroup(TabSheet7, "GroupBox5", QStringLiteral("完了"), kGroup);
  MakeLabel(group7, "Label5", QStringLiteral("公開鍵の作成は無事終了しました。"), {24, 40});
  MakeLabel(group7, "Label6", QStringLiteral("公開鍵ファイルは"), {24, 64});
  Label7 = MakeLabel(group7, "Label7", QString(), {24, 88}, 345);
  MakeLabel(group7, "Label8", QStringLiteral("にあります。"), {24, 112});
  Button15 = MakeButton(TabSheet7, "Button15", QStringLiteral("開く(&O)"), kBackButton);
  Button16 = MakeButton(TabSheet7, "Button16", QStringLiteral("終了(&X)"), kNextButton);

  TabSheet8 = MakePage(Pages, "TabSheet8");
  auto* group8 = MakeGroup(TabSheet8, "GroupBox6", QStringLiteral("完了"), kGroup);
  MakeLabel(group8, "Label9", QStringLiteral("ファイルの復号化は無事終了しました。"), {24, 40});
  MakeLabel(group8, "Label10", QStringLiteral("復号化されたファイルは"), {24, 64});
  Label11 = MakeLabel(group8, "Label11", QString(), {24, 88}, 345);
  MakeLabel(group8, "Label12", QStringLiteral("にあります。"), {24, 112});
  Button17 = MakeButton(TabSheet8, "Button17", QStringLiteral("開く(&O)"), kBackButton);
  Button18 = MakeButton(TabSheet8, "Button18", QStringLiteral("終了(&X)"), kNextButton);

  TabSheet9 = MakePage(Pages, "TabSheet9");
  auto* group9 = MakeGroup(TabSheet9, "GroupBox7", QStringLiteral("設定"), kGroup);
  CheckBox1 = Make<QCheckBox>(group9, "CheckBox1", QRect(24, 48, 345, 21));
  CheckBox1->setText(QStringLiteral("暗号化用鍵ファイル（KVKファイル）を関連づける。"));
  CheckBox2 = Make<QCheckBox>(group9, "CheckBox2", QRect(24, 88, 345, 21));
  CheckBox2->setText(QStringLiteral("暗号ファイル（KVXファイル）の解読を関連づける。"));
  Button19 = MakeButton(TabSheet9, "Button19", QStringLiteral("戻る(&<)"), kBackButton);
  Button20 = MakeButton(TabSheet9, "Button20", QStringLiteral("適用(&A)"), kNextButton);
  Button20->setDefault(true);
}

}  // namespace corvane
