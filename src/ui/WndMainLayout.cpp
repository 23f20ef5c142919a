// The main window's controls, actions and menus.
#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "ui/Chartboxes.h"
#include "ui/Dialogfont.h"
#include "ui/Pitchreadout.h"
#include "ui/Targetpanel.h"
#include "ui/WndMain.h"
#include "ui/icons/Toolicons.h"

namespace vowelscope {

namespace {

constexpr int kClientWidth = 912;
constexpr int kClientHeight = 654;
constexpr int kToolBandHeight = 32;
constexpr int kToolSeparatorWidth = 8;
constexpr int kFZeroHeight = 200;
constexpr int kSplitterWidth = 6;
constexpr int kActionUpdateMs = 100;
constexpr int kTrailFadeMs = 25;

QFrame* LoweredPanel(QFrame* frame) {
  frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  frame->setLineWidth(1);
  return frame;
}

}  // namespace

void TfrmMain::CreateControls() {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Vowelscope β"));
  setWindowIcon(ApplicationIcon());
  setFont(DialogFont(8));

  CreateActions();
  CreateMenus();

  pnlMain = new QWidget(this);
  pnlMain->setObjectName(QStringLiteral("pnlMain"));
  auto* mainColumn = new QVBoxLayout(pnlMain);
  mainColumn->setContentsMargins(0, 0, 0, 0);
  mainColumn->setSpacing(0);

  // Tool band: the toolbar and the guide selector.
  ControlBar1 = new QWidget(pnlMain);
  ControlBar1->setObjectName(QStringLiteral("ControlBar1"));
  ControlBar1->setFixedHeight(kToolBandHeight);
  auto* band = new QHBoxLayout(ControlBar1);
  band->setContentsMargins(2, 2, 2, 2);
  band->setSpacing(4);
  tbTools = new QToolBar(ControlBar1);
  tbTools->setObjectName(QStringLiteral("tbTools"));
  tbTools->setIconSize(QSize(22, 22));
  tbTools->setToolButtonStyle(Qt::ToolButtonIconOnly);
  tbTools->setMovable(false);
  tbTools->setFloatable(false);
  tbTools->addAction(actStartRecord);
  tbTools->addAction(actStopRecord);
  // The gap between the recording and the playback buttons is 8 pixels whatever the style's separator is.
  auto* gap = new QWidget(tbTools);
  gap->setObjectName(QStringLiteral("tbSeparator"));
  gap->setFixedSize(kToolSeparatorWidth, 1);
  tbTools->addWidget(gap);
  tbTools->addAction(actStartPlay);
  tbTools->addAction(actStopPlay);
  for (QAction* action : {actStartRecord, actStopRecord, actStartPlay, actStopPlay}) {
    if (QWidget* button = tbTools->widgetForAction(action)) button->setFixedSize(30, 28);
  }
  band->addWidget(tbTools);

  pnlRegions = new QWidget(ControlBar1);
  pnlRegions->setObjectName(QStringLiteral("pnlRegions"));
  pnlRegions->setFixedSize(183, 28);
  auto* regionsRow = new QHBoxLayout(pnlRegions);
  regionsRow->setContentsMargins(4, 0, 4, 0);
  lblRegions = new QLabel(QStringLiteral("ガイド(&G):"), pnlRegions);
  lblRegions->setObjectName(QStringLiteral("lblRegions"));
  cbxRegions = new QComboBox(pnlRegions);
  cbxRegions->setObjectName(QStringLiteral("cbxRegions"));
  cbxRegions->setFixedWidth(120);
  cbxRegions->setEditable(false);
  lblRegions->setBuddy(cbxRegions);
  // The set shown is the one removed, so the command is also offered where the set is picked.
  cbxRegions->setContextMenuPolicy(Qt::ActionsContextMenu);
  cbxRegions->addAction(actRemoveGuide);
  regionsRow->addWidget(lblRegions);
  regionsRow->addWidget(cbxRegions);
  band->addWidget(pnlRegions);
  // The target is picked beside the guide set it belongs to; its score and attempts sit by the chart.
  pnlTarget = new TTargetPanel(pnlMain);
  band->addWidget(pnlTarget->TargetRow());
  connect(pnlTarget, &TTargetPanel::targetPicked, this, [this](int index) { RunCommand([&] { PickTarget(index); }); });
  connect(pnlTarget, &TTargetPanel::clearRequested, this, [this] { RunCommand([this] { ClearAttempts(); }); });
  band->addStretch(1);
  mainColumn->addWidget(ControlBar1);
  // Only the user's pick saves the setting; filling the list does not.
  connect(cbxRegions, qOverload<int>(&QComboBox::activated), this, [this](int index) { cbxRegionsChange(index); });

  // Formant chart with the level meter on its right.
  splMain = new QSplitter(Qt::Vertical, pnlMain);
  splMain->setObjectName(QStringLiteral("splMain"));
  splMain->setHandleWidth(kSplitterWidth);
  splMain->setChildrenCollapsible(false);
  mainColumn->addWidget(splMain, 1);

  pnlFormant = new QWidget(splMain);
  pnlFormant->setObjectName(QStringLiteral("pnlFormant"));
  auto* formantRow = new QHBoxLayout(pnlFormant);
  formantRow->setContentsMargins(0, 0, 0, 0);
  formantRow->setSpacing(0);
  auto* formantFrame = LoweredPanel(new QFrame(pnlFormant));
  pnlFormantSub = formantFrame;
  pnlFormantSub->setObjectName(QStringLiteral("pnlFormantSub"));
  auto* formantFill = new QVBoxLayout(pnlFormantSub);
  formantFill->setContentsMargins(1, 1, 1, 1);
  pbxFormant = new TPaintBox(pnlFormantSub);
  pbxFormant->setObjectName(QStringLiteral("pbxFormant"));
  pbxFormant->SetOnPaint([this](QPainter& painter) { pbxFormantPaint(painter); });
  formantFill->addWidget(pbxFormant);
  InstallChartClick();
  formantRow->addWidget(pnlFormantSub, 1);
  pnlLevel = new TLevelPanel(pnlFormant);
  pbrLevel = pnlLevel->pbrLevel;
  formantRow->addWidget(pnlLevel);
  pnlPitch = new TPitchReadout(pnlFormant);
  auto* practiceColumn = new QVBoxLayout;
  practiceColumn->setContentsMargins(4, 0, 2, 2);
  practiceColumn->addWidget(pnlPitch);
  practiceColumn->addWidget(pnlTarget, 1);
  formantRow->addLayout(practiceColumn);

  // F0 chart with its scroll bar.
  pnlFZero = new TResizePanel(splMain);
  LoweredPanel(pnlFZero);
  pnlFZero->setObjectName(QStringLiteral("pnlFZero"));
  auto* fzeroColumn = new QVBoxLayout(pnlFZero);
  fzeroColumn->setContentsMargins(1, 1, 1, 1);
  fzeroColumn->setSpacing(0);
  pbxFZero = new TPaintBox(pnlFZero);
  pbxFZero->setObjectName(QStringLiteral("pbxFZero"));
  pbxFZero->SetOnPaint([this](QPainter& painter) { pbxFZeroPaint(painter); });
  sclFZero = new QScrollBar(Qt::Horizontal, pnlFZero);
  sclFZero->setObjectName(QStringLiteral("sclFZero"));
  sclFZero->setFixedHeight(16);
  sclFZero->setSingleStep(10);
  sclFZero->setPageStep(kFZeroLargeChange);
  sclFZero->setRange(0, 0);
  sclFZero->setFocusPolicy(Qt::NoFocus);
  fzeroColumn->addWidget(pbxFZero, 1);
  fzeroColumn->addWidget(sclFZero);
  connect(sclFZero, &QScrollBar::valueChanged, this, [this] { sclFZeroScroll(); });
  // A click in the track moves by the large change, not by the page the thumb shows.
  connect(sclFZero, &QAbstractSlider::actionTriggered, this, [this](int action) {
    if (action == QAbstractSlider::SliderPageStepAdd) sclFZero->setSliderPosition(sclFZero->value() + kFZeroLargeChange);
    if (action == QAbstractSlider::SliderPageStepSub) sclFZero->setSliderPosition(sclFZero->value() - kFZeroLargeChange);
  });
  pnlFZero->SetOnResize([this] { RunCommand([this] { pnlFZeroResize(); }); });

  splMain->addWidget(pnlFormant);
  splMain->addWidget(pnlFZero);
  splMain->setStretchFactor(0, 1);
  splMain->setStretchFactor(1, 0);
  setCentralWidget(pnlMain);

  sbrStatus = new QLabel(this);
  sbrStatus->setObjectName(QStringLiteral("sbrStatus"));
  statusBar()->addWidget(sbrStatus, 1);
  statusBar()->setSizeGripEnabled(true);

  tmrPlaying = new QTimer(this);
  tmrPlaying->setObjectName(QStringLiteral("tmrPlaying"));
  tmrPlaying->setInterval(10);
  tmrPlaying->setTimerType(Qt::PreciseTimer);
  connect(tmrPlaying, &QTimer::timeout, this, [this] { RunCommand([this] { tmrPlayingTimer(); }); });

  // The trail fades at the pace it was filled: one entry per block of the live analysis.
  tmrFade = new QTimer(this);
  tmrFade->setObjectName(QStringLiteral("tmrFade"));
  tmrFade->setInterval(kTrailFadeMs);
  connect(tmrFade, &QTimer::timeout, this, [this] { RunCommand([this] { tmrFadeTimer(); }); });

  tmrUpdate = new QTimer(this);
  tmrUpdate->setInterval(kActionUpdateMs);
  connect(tmrUpdate, &QTimer::timeout, this, [this] { UpdateActions(); });
  tmrUpdate->start();

  // The design size is the client area: the menu and status bars come on top of it. The F0 panel starts
  // 200 high, the formant chart takes the rest and any later growth.
  const int chartsHeight = kClientHeight - kToolBandHeight - statusBar()->sizeHint().height();
  splMain->setSizes({chartsHeight - kFZeroHeight - kSplitterWidth, kFZeroHeight});
  resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  if (const QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void TfrmMain::RestoreWindowLayout() {
  const int storedWidth = settings.GetWindowWidth();
  const int storedHeight = settings.GetWindowHeight();
  if (storedWidth > 0 && storedHeight > 0) {
    QSize size(storedWidth, storedHeight);
    // A size from a larger screen is cut to this one's.
    if (const QScreen* screen = this->screen()) size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
  }
  const int chartsHeight =
      height() - menuBar()->sizeHint().height() - kToolBandHeight - statusBar()->sizeHint().height() - kSplitterWidth;
  const int fzero = settings.GetFZeroHeight();
  if (fzero > 0 && fzero < chartsHeight) splMain->setSizes({chartsHeight - fzero, fzero});
  // The view toggle shows the setting it was left at.
  actShowWholeTake->setChecked(settings.GetShowWholeTake());
}

void TfrmMain::StoreWindowLayout() {
  settings.SetWindowWidth(width());
  settings.SetWindowHeight(height());
  settings.SetFZeroHeight(splMain->sizes().value(1));
}

void TfrmMain::CreateActions() {
  struct Entry {
    QAction*& action;
    const char* name;
    const char* caption;
    std::optional<ToolImage> image;
    void (TfrmMain::*execute)();
  };
  const Entry entries[] = {
      {actStartRecord, "actStartRecord", "録音開始(&B)", ToolImage::StartRecord, &TfrmMain::actStartRecordExecute},
      {actStopRecord, "actStopRecord", "録音停止(&E)", ToolImage::StopRecord, &TfrmMain::actStopRecordExecute},
      {actStartPlay, "actStartPlay", "再生開始(&P)", ToolImage::StartPlay, &TfrmMain::actStartPlayExecute},
      {actStopPlay, "actStopPlay", "再生停止(&S)", ToolImage::StopPlay, &TfrmMain::actStopPlayExecute},
      {actOption, "actOption", "オプション(&O)...", std::nullopt, &TfrmMain::actOptionExecute},
      {actSave, "actSave", "ファイルに保存(&S)...", std::nullopt, &TfrmMain::actSaveExecute},
      {actLoad, "actLoad", "ファイルを開く(&O)...", std::nullopt, &TfrmMain::actLoadExecute},
      {actAbout, "actAbout", "バージョン情報(&A)...", std::nullopt, &TfrmMain::actAboutExecute},
      {actExit, "actExit", "終了(&X)", std::nullopt, &TfrmMain::actExitExecute},
      {actAnalyseFile, "actAnalyseFile", "音声ファイルを分析(&A)...", std::nullopt, &TfrmMain::actAnalyseFileExecute},
      {actReanalyse, "actReanalyse", "再分析(&R)", std::nullopt, &TfrmMain::actReanalyseExecute},
      {actShowWholeTake, "actShowWholeTake", "全体を表示(&W)", std::nullopt, &TfrmMain::actShowWholeTakeExecute},
      {actFitRanges, "actFitRanges", "表示範囲をガイドに合わせる(&F)", std::nullopt, &TfrmMain::actFitRangesExecute},
      {actMakeGuide, "actMakeGuide", "ガイドを作成(&G)...", std::nullopt, &TfrmMain::actMakeGuideExecute},
      {actRemoveGuide, "actRemoveGuide", "ガイドを削除(&D)...", std::nullopt, &TfrmMain::actRemoveGuideExecute},
  };
  for (const Entry& entry : entries) {
    auto* action = new QAction(QString::fromUtf8(entry.caption), this);
    action->setObjectName(QString::fromLatin1(entry.name));
    if (entry.image) action->setIcon(ToolIcon(*entry.image));
    const auto execute = entry.execute;
    connect(action, &QAction::triggered, this, [this, execute] { RunCommand([this, execute] { (this->*execute)(); }); });
    entry.action = action;
  }
  // Start and stop share a key: only one of each pair is enabled at a time, so the key toggles.
  actStartPlay->setShortcut(QKeySequence(Qt::Key_Space));
  actStopPlay->setShortcut(QKeySequence(Qt::Key_Space));
  actStartRecord->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Space));
  actStopRecord->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Space));
  actSave->setShortcut(QKeySequence::Save);
  actLoad->setShortcut(QKeySequence::Open);
  actAnalyseFile->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  actReanalyse->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  actShowWholeTake->setCheckable(true);
  actExit->setMenuRole(QAction::QuitRole);
  actAbout->setMenuRole(QAction::AboutRole);
}

void TfrmMain::CreateMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  file->addAction(actLoad);
  file->addAction(actAnalyseFile);
  file->addAction(actSave);
  file->addSeparator();
  file->addAction(actExit);

  QMenu* tools = menuBar()->addMenu(QStringLiteral("ツール(&T)"));
  tools->addAction(actStartRecord);
  tools->addAction(actStopRecord);
  tools->addSeparator();
  tools->addAction(actStartPlay);
  tools->addAction(actStopPlay);
  tools->addSeparator();
  tools->addAction(actOption);
  tools->addAction(actReanalyse);
  tools->addAction(actFitRanges);
  tools->addAction(actMakeGuide);
  tools->addAction(actRemoveGuide);
  tools->addSeparator();
  tools->addAction(actShowWholeTake);

  QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
  help->addAction(actAbout);
}

}  // namespace vowelscope
