// The main window's actions, menus, toolbars, status bar and central view.
#include "action_table.h"
#include "editor_panel.h"
#include "keyboard_focus.h"
#include "lead_sheet_export.h"
#include "main_window.h"
#include "recent_files.h"
#include "settings.h"
#include "style_browser_flow.h"

#include "session.h"
#include "time_scale.h"
#include "time_spin_box.h"
#include "track_state_command.h"
#include "tracks_view.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

QAction* MainWindow::makeAction(const ActionEntry& entry)
{
    auto* action = new QAction(this);
    action->setObjectName(QLatin1String(entry.objectName));
    const QString text = tr(entry.text);
    const QString iconText = *entry.iconText ? tr(entry.iconText) : text;
    const QString toolTip = *entry.toolTip ? tr(entry.toolTip) : iconText;
    const QString statusTip = *entry.statusTip ? tr(entry.statusTip) : toolTip;
    action->setText(text);
    action->setIconText(iconText);
    action->setToolTip(toolTip);
    action->setStatusTip(statusTip);
    if (*entry.shortcut)
        action->setShortcut(QKeySequence(QLatin1String(entry.shortcut)));
    if (*entry.icon)
        action->setIcon(QIcon(QStringLiteral(":/images/") + QLatin1String(entry.icon)));
    action->setCheckable(entry.checkable);
    return action;
}

void MainWindow::createActions()
{
    int count = 0;
    const ActionEntry* table = actionTable(&count);
    for (int i = 0; i < count; ++i)
        makeAction(table[i]);
    // A held key must not start and stop the transport over and over.
    for (const char* name : {"transportPlayAction", "transportRecordAction", "transportStopAction"})
        findChild<QAction*>(QLatin1String(name))->setAutoRepeat(false);
    // Space belongs to the transport wherever the focus is (the tool buttons would take it).
    findChild<QAction*>(QStringLiteral("transportPlayAction"))
        ->setShortcutContext(Qt::ApplicationShortcut);
}

void MainWindow::connectActions()
{
    int count = 0;
    const ActionEntry* table = actionTable(&count);
    for (int i = 0; i < count; ++i) {
        if (!table[i].slot)
            continue;
        QAction* action = findChild<QAction*>(QLatin1String(table[i].objectName));
        connect(action, SIGNAL(triggered(bool)), this, table[i].slot);
    }
    connect(m_tempoSpinBox, SIGNAL(valueChanged(double)), this, SLOT(tempoChanged(double)));
    connect(m_tempoSpinBox, SIGNAL(editingFinished()), this, SLOT(transportTempoFinished()));
    connect(m_meterButton, SIGNAL(clicked()), this, SLOT(meterButtonClicked()));
    connect(m_snapComboBox, SIGNAL(activated(int)), this, SLOT(snapPerBeatChanged(int)));
    connect(m_timeSpinBox, SIGNAL(valueChanged(unsigned long)), this,
            SLOT(transportTimeChanged(unsigned long)));
    connect(m_timeSpinBox, SIGNAL(editingFinished()), this, SLOT(transportTimeFinished()));
}

void MainWindow::createMenus()
{
    auto act = [this](const char* name) { return findChild<QAction*>(QLatin1String(name)); };
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));

    QMenu* file = bar->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    file->addAction(act("fileNewAction"));
    file->addSeparator();
    file->addAction(act("newAudioAction"));
    file->addAction(act("newMidiAction"));
    file->addSeparator();
    file->addAction(act("fileOpenAction"));
    m_recentFiles = new RecentFiles(m_settings, file->addMenu(tr("Open &Recent")), this);
    connect(m_recentFiles, &RecentFiles::openRequested, this, &MainWindow::openFile);
    file->addAction(act("openAudioAction"));
    file->addAction(act("openMidiAction"));
    file->addAction(act("openStyleAction"));
    file->addSeparator();
    file->addAction(act("fileSaveAction"));
    file->addAction(act("saveAudioAction"));
    file->addAction(act("saveMidiAction"));
    file->addAction((new LeadSheetExport(this))->action());
    file->addSeparator();
    file->addAction(act("fileExitAction"));

    QMenu* edit = bar->addMenu(tr("&Edit"));
    edit->setObjectName(QStringLiteral("editMenu"));
    edit->addAction(act("editUndoAction"));
    edit->addAction(act("editRedoAction"));

    QMenu* make = bar->addMenu(tr("&Make"));
    make->setObjectName(QStringLiteral("makeMenu"));
    make->addAction(act("audioToMidiAction"));
    make->addAction(act("makeChordsAction"));
    make->addAction(act("makeSongAction"));
    make->addAction(act("findTempoAndBarsAction"));
    make->addAction(act("simpleSectionsAction"));
    make->addSeparator();
    make->addAction(act("openStyleAction"));
    make->addAction((new StyleBrowserFlow(this))->action());
    make->addSeparator();
    make->addAction(act("editMidiModeAction"));
    make->addAction(act("editDeleteAction"));

    QMenu* play = bar->addMenu(tr("&Play"));
    play->setObjectName(QStringLiteral("playMenu"));
    play->addAction(act("transportRecordAction"));
    play->addAction(act("transportStopAction"));
    play->addAction(act("transportPlayAction"));
    play->addSeparator();
    play->addAction(act("transportMetroAction"));
    play->addSeparator();
    play->addAction(act("audioOnOffAction"));
    play->addAction(act("midiOnOffAction"));
    play->addAction(act("chordsOnOffAction"));
    play->addSeparator();
    play->addAction(act("viewOptionsAction"));

    bar->addSeparator();
    QMenu* help = bar->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    help->addAction(act("quickHelpAction"));
    help->addAction(act("helpContentsAction"));
    help->addSeparator();
    help->addAction(act("helpAboutAction"));
    help->addAction(act("helpAboutQtAction"));
}

void MainWindow::createToolbars()
{
    auto act = [this](const char* name) { return findChild<QAction*>(QLatin1String(name)); };
    QFont toolbarFont = font();
    toolbarFont.setPointSizeF(toolbarFont.pointSizeF() + 1);

    m_fileToolbar = addToolBar(tr("File"));
    m_fileToolbar->setObjectName(QStringLiteral("fileToolbar"));
    m_fileToolbar->setMovable(false);
    m_fileToolbar->setFont(toolbarFont);
    for (const char* name :
         {"newAudioAction", "openAudioAction", "saveAudioAction", "", "audioToMidiAction", "",
          "transportRecordAction", "transportStopAction", "transportPlayAction", "audioOnOffAction",
          "midiOnOffAction", "chordsOnOffAction"}) {
        if (*name)
            m_fileToolbar->addAction(act(name));
        else
            m_fileToolbar->addSeparator();
    }

    addToolBarBreak();
    m_timeToolbar = addToolBar(tr("Time"));
    m_timeToolbar->setObjectName(QStringLiteral("timeToolbar"));
    m_timeToolbar->setMovable(false);
    m_timeToolbar->setFont(toolbarFont);
    for (const char* name : {"newMidiAction", "openMidiAction", "saveMidiAction", "",
                             "makeChordsAction", "makeSongAction", "", "transportMetroAction",
                             "editMidiModeAction", "editDeleteAction", ""}) {
        if (*name)
            m_timeToolbar->addAction(act(name));
        else
            m_timeToolbar->addSeparator();
    }

    // The song-making steps read as words, so a first-time user sees where to go.
    for (const char* name : {"audioToMidiAction", "makeChordsAction", "makeSongAction"}) {
        QToolBar* bar = QLatin1String(name) == QLatin1String("audioToMidiAction") ? m_fileToolbar
                                                                                  : m_timeToolbar;
        if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(act(name))))
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }

    auto spacer = [this]() {
        auto* label = new QLabel(QStringLiteral("  "), m_timeToolbar);
        m_timeToolbar->addWidget(label);
    };
    m_timeSpinBox = new TimeSpinBox(m_timeToolbar);
    m_timeSpinBox->setObjectName(QStringLiteral("TimeSpinBox"));
    m_timeSpinBox->setScale(&m_session->scale());
    m_timeSpinBox->setMinimumSize(128, 26);
    m_timeSpinBox->setToolTip(tr("Current playback time (hour:min:sec.msec)"));
    m_timeSpinBox->setContextMenuPolicy(Qt::ActionsContextMenu);
    const char* formats[] = {QT_TRANSLATE_NOOP("MainWindow", "Show frames"),
                             QT_TRANSLATE_NOOP("MainWindow", "Show clock time"),
                             QT_TRANSLATE_NOOP("MainWindow", "Show bars.beats.ticks")};
    for (int format : {1, 2, 0}) {
        auto* action = new QAction(tr(formats[format]), m_timeSpinBox);
        action->setObjectName(QStringLiteral("timeFormat%1Action").arg(format));
        connect(action, &QAction::triggered, this, [this, format] { timeFormatChanged(format); });
        m_timeSpinBox->addAction(action);
    }
    m_timeToolbar->addWidget(m_timeSpinBox);
    spacer();
    m_timeToolbar->addSeparator();

    m_meterButton = new QToolButton(m_timeToolbar);
    m_meterButton->setObjectName(QStringLiteral("MeterButton"));
    m_meterButton->setText(QStringLiteral("0/0"));
    m_meterButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_meterButton->setCheckable(false);
    m_meterButton->setToolTip(tr("Time Signature (Meter)"));
    m_meterButton->setMinimumWidth(44);
    m_timeToolbar->addWidget(m_meterButton);

    m_tempoSpinBox = new QDoubleSpinBox(m_timeToolbar);
    m_tempoSpinBox->setObjectName(QStringLiteral("TempoSpinBox"));
    m_tempoSpinBox->setRange(10.0, 1000.0);
    m_tempoSpinBox->setSingleStep(1.0);
    m_tempoSpinBox->setDecimals(1);
    m_tempoSpinBox->setKeyboardTracking(false);
    m_tempoSpinBox->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_tempoSpinBox->setMinimumHeight(26);
    m_tempoSpinBox->setSuffix(tr(" bpm"));
    m_tempoSpinBox->setToolTip(tr("Current tempo (BPM - beat per minute)"));
    m_timeToolbar->addWidget(m_tempoSpinBox);
    spacer();
    m_timeToolbar->addSeparator();

    m_snapComboBox = new QComboBox(m_timeToolbar);
    m_snapComboBox->setObjectName(QStringLiteral("SnapPerBeatComboBox"));
    m_snapComboBox->addItems(TimeScale::snapNames());
    m_snapComboBox->setToolTip(tr("Snap/beat"));
    m_snapComboBox->setMinimumHeight(26);
    m_snapComboBox->setFixedSize(m_snapComboBox->sizeHint());
    m_timeToolbar->addWidget(m_snapComboBox);
}

QLabel* MainWindow::addIndicator(const QString& text, const QString& tip)
{
    auto* label = new QLabel(text, statusBar());
    label->setAlignment(Qt::AlignHCenter);
    label->setMinimumWidth(label->sizeHint().width() + 8);
    label->setToolTip(tip);
    label->setAutoFillBackground(true);
    statusBar()->addPermanentWidget(label);
    return label;
}

void MainWindow::setIndicator(QLabel* label, const QString& text, bool lit)
{
    // Lit: the highlight colours; cleared: the text is emptied and the palette is plain.
    QPalette pal = statusBar()->palette();
    if (lit) {
        pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
        pal.setColor(QPalette::WindowText, pal.color(QPalette::HighlightedText));
    }
    label->setPalette(pal);
    label->setText(lit ? text : QString());
}

void MainWindow::createStatusBar()
{
    QStatusBar* bar = statusBar();
    m_trackLabel = new QLabel(bar);
    m_trackLabel->setObjectName(QStringLiteral("TrackLabel"));
    m_trackLabel->setToolTip(tr("Current track name"));
    m_trackLabel->setMinimumWidth(120);
    bar->addWidget(m_trackLabel);
    m_progressBar = new QProgressBar(bar);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar"));
    m_progressBar->setMaximumWidth(160);
    m_progressBar->setMaximumHeight(16);
    m_progressBar->setTextVisible(false);
    m_progressBar->hide();
    bar->addPermanentWidget(m_progressBar);
    m_modLabel = addIndicator(QStringLiteral("MOD"), tr("Song modification state"));
    m_recLabel = addIndicator(QStringLiteral("REC"), tr("Song record state"));
    m_muteLabel = addIndicator(QStringLiteral("MUTE"), tr("Song muting state"));
    m_soloLabel = addIndicator(QStringLiteral("SOLO"), tr("Song soloing state"));
    m_loopLabel = addIndicator(QStringLiteral("LOOP"), tr("Song looping state"));
    m_timeLabel = addIndicator(QStringLiteral("00:00:00.000"), tr("Song total time"));
    m_rateLabel = addIndicator(QStringLiteral("44100 Hz"), tr("Song sample rate"));
    for (QLabel* label : {m_modLabel, m_recLabel, m_muteLabel, m_soloLabel, m_loopLabel})
        setIndicator(label, QString(), false);
}

void MainWindow::createCentralWidget()
{
    m_tracksView = new TracksView(m_session, this);
    m_editorPanel = new EditorPanel(this, m_session, m_settings, m_tracksView, m_timeToolbar);
    setCentralWidget(m_editorPanel);
    connect(m_tracksView, SIGNAL(selectionChanged()), this, SLOT(trackSelectionChanged()));
    connect(m_tracksView, SIGNAL(locateRequested(unsigned long)), this,
            SLOT(transportTimeChanged(unsigned long)));
    connect(m_tracksView, SIGNAL(contentsChanged()), this, SLOT(stabilizeForm()));
    connect(m_tracksView, SIGNAL(destroyed()), this, SLOT(tracksClosed()));
    connect(m_tracksView, &TracksView::timeZoomChanged, this,
            [this](int percent) { m_settings->timeZoom = percent; });
    m_tracksView->setMuteHandler(
        [this](Track* track, bool on) { pushTrackFlag(track, TrackStateCommand::Mute, on); });
    m_tracksView->setSoloHandler(
        [this](Track* track, bool on) { pushTrackFlag(track, TrackStateCommand::Solo, on); });
    setUpKeyboardFocus();
}

void MainWindow::setUpKeyboardFocus()
{
    m_keyboardFocus = new KeyboardFocus(this);
    m_keyboardFocus->setHome(m_tracksView);
    m_keyboardFocus->addEditor(m_timeSpinBox, [this] { showPosition(m_session->playHead()); });
    m_keyboardFocus->addEditor(m_tempoSpinBox, [this] {
        // The box shows its last committed tempo again; nothing is pushed.
        ++m_updatingTempo;
        m_tempoSpinBox->setValue(m_tempoSpinBox->value());
        --m_updatingTempo;
    });
    // Space must reach the transport: these open with a click and never keep the keyboard.
    m_snapComboBox->setFocusPolicy(Qt::NoFocus);
    m_meterButton->setFocusPolicy(Qt::NoFocus);
}

void MainWindow::restoreGeometryFromSettings()
{
    const Settings& s = *m_settings;
    if (s.mainWinWidth > 0 && s.mainWinHeight > 0)
        resize(s.mainWinWidth, s.mainWinHeight);
    if (s.mainWinX != Settings::kUnsetPosition && s.mainWinY != Settings::kUnsetPosition)
        move(s.mainWinX, s.mainWinY);
}

void MainWindow::storeGeometryToSettings()
{
    Settings& s = *m_settings;
    s.mainWinX = pos().x();
    s.mainWinY = pos().y();
    s.mainWinWidth = width();
    s.mainWinHeight = height();
    s.mainWinVisible = isVisible();
}
