// The main window's actions, menus, toolbars, status bar and central view.
#include "action_table.h"
#include "main_form.h"
#include "settings.h"

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

QAction* vx99MainForm::makeAction(const vx99ActionEntry& entry)
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

void vx99MainForm::createActions()
{
    int count = 0;
    const vx99ActionEntry* table = vx99ActionTable(&count);
    for (int i = 0; i < count; ++i)
        makeAction(table[i]);
    // A held key must not start and stop the transport over and over.
    for (const char* name :
         {"transportPlayAction", "transportRecordAction", "vxTransportStopAction"})
        findChild<QAction*>(QLatin1String(name))->setAutoRepeat(false);
    // Space belongs to the transport wherever the focus is (the tool buttons would take it).
    findChild<QAction*>(QStringLiteral("transportPlayAction"))
        ->setShortcutContext(Qt::ApplicationShortcut);
}

void vx99MainForm::connectActions()
{
    int count = 0;
    const vx99ActionEntry* table = vx99ActionTable(&count);
    for (int i = 0; i < count; ++i) {
        if (!table[i].slot)
            continue;
        QAction* action = findChild<QAction*>(QLatin1String(table[i].objectName));
        connect(action, SIGNAL(triggered(bool)), this, table[i].slot);
    }
    connect(m_tempoSpinBox, SIGNAL(valueChanged(double)), this, SLOT(vxTempoChangedSlot(double)));
    connect(m_tempoSpinBox, SIGNAL(editingFinished()), this, SLOT(transportTempoFinished()));
    connect(m_meterButton, SIGNAL(clicked()), this, SLOT(vxMeterSlot()));
    connect(m_snapComboBox, SIGNAL(activated(int)), this, SLOT(snapPerBeatChanged(int)));
    connect(m_timeSpinBox, SIGNAL(valueChanged(unsigned long)), this,
            SLOT(transportTimeChanged(unsigned long)));
    connect(m_timeSpinBox, SIGNAL(editingFinished()), this, SLOT(transportTimeFinished()));
}

void vx99MainForm::createMenus()
{
    auto act = [this](const char* name) { return findChild<QAction*>(QLatin1String(name)); };
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));

    QMenu* file = bar->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("vxFileMenu"));
    file->addAction(act("fileNewAction"));
    file->addSeparator();
    file->addAction(act("vxNewAudioAction"));
    file->addAction(act("vxNewMidiAction"));
    file->addSeparator();
    file->addAction(act("vxOpenAudioAction"));
    file->addAction(act("vxOpenMidiAction"));
    file->addAction(act("vxOpenStyleAction"));
    file->addSeparator();
    file->addAction(act("vxSaveAudioAction"));
    file->addAction(act("vxSaveMidiAction"));
    file->addSeparator();
    file->addAction(act("fileExitAction"));

    QMenu* edit = bar->addMenu(tr("&Edit"));
    edit->setObjectName(QStringLiteral("vxEditMenu"));
    edit->addAction(act("editUndoAction"));
    edit->addAction(act("editRedoAction"));

    QMenu* make = bar->addMenu(tr("&Make"));
    make->setObjectName(QStringLiteral("vxMakeMenu"));
    make->addAction(act("vxAudio2MidiAction"));
    make->addAction(act("vxMidi2ChordsAction"));
    make->addAction(act("vxMakeSongAction"));
    make->addSeparator();
    make->addAction(act("vxOpenStyleAction"));
    make->addSeparator();
    make->addAction(act("editMidiModeAction"));
    make->addAction(act("editDeleteAction"));

    QMenu* play = bar->addMenu(tr("&Play"));
    play->setObjectName(QStringLiteral("vxPlayMenu"));
    play->addAction(act("transportRecordAction"));
    play->addAction(act("vxTransportStopAction"));
    play->addAction(act("transportPlayAction"));
    play->addSeparator();
    play->addAction(act("transportMetroAction"));
    play->addSeparator();
    play->addAction(act("vxAudioOnOffAction"));
    play->addAction(act("vxMidiOnOffAction"));
    play->addAction(act("vxChordsOnOffAction"));
    play->addSeparator();
    play->addAction(act("viewOptionsAction"));

    bar->addSeparator();
    QMenu* help = bar->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("vxHelpMenu"));
    help->addAction(act("vxQuickHelpAction"));
    help->addAction(act("vxHelpContentsAction"));
    help->addSeparator();
    help->addAction(act("helpAboutAction"));
    help->addAction(act("helpAboutQtAction"));
}

void vx99MainForm::createToolbars()
{
    auto act = [this](const char* name) { return findChild<QAction*>(QLatin1String(name)); };
    QFont toolbarFont = font();
    toolbarFont.setPointSizeF(toolbarFont.pointSizeF() + 1);

    m_fileToolbar = addToolBar(tr("File"));
    m_fileToolbar->setObjectName(QStringLiteral("fileToolbar"));
    m_fileToolbar->setMovable(false);
    m_fileToolbar->setFont(toolbarFont);
    for (const char* name :
         {"vxNewAudioAction", "vxOpenAudioAction", "vxSaveAudioAction", "", "vxAudio2MidiAction",
          "", "transportRecordAction", "vxTransportStopAction", "transportPlayAction",
          "vxAudioOnOffAction", "vxMidiOnOffAction", "vxChordsOnOffAction"}) {
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
    for (const char* name : {"vxNewMidiAction", "vxOpenMidiAction", "vxSaveMidiAction", "",
                             "vxMidi2ChordsAction", "vxMakeSongAction", "", "transportMetroAction",
                             "editMidiModeAction", "editDeleteAction", ""}) {
        if (*name)
            m_timeToolbar->addAction(act(name));
        else
            m_timeToolbar->addSeparator();
    }

    // The song-making steps read as words, so a first-time user sees where to go.
    for (const char* name : {"vxAudio2MidiAction", "vxMidi2ChordsAction", "vxMakeSongAction"}) {
        QToolBar* bar = QLatin1String(name) == QLatin1String("vxAudio2MidiAction") ? m_fileToolbar
                                                                                   : m_timeToolbar;
        if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(act(name))))
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }

    auto spacer = [this]() {
        auto* label = new QLabel(QStringLiteral("  "), m_timeToolbar);
        m_timeToolbar->addWidget(label);
    };
    m_timeSpinBox = new vx29SpinBox(m_timeToolbar);
    m_timeSpinBox->setObjectName(QStringLiteral("TimeSpinBox"));
    m_timeSpinBox->setScale(&m_session->scale());
    m_timeSpinBox->setMinimumSize(128, 26);
    m_timeSpinBox->setToolTip(tr("Current playback time (hour:min:sec.msec)"));
    m_timeSpinBox->setContextMenuPolicy(Qt::ActionsContextMenu);
    const char* formats[] = {QT_TRANSLATE_NOOP("vx99MainForm", "Show frames"),
                             QT_TRANSLATE_NOOP("vx99MainForm", "Show clock time"),
                             QT_TRANSLATE_NOOP("vx99MainForm", "Show bars.beats.ticks")};
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
    m_snapComboBox->addItems(vx29::snapNames());
    m_snapComboBox->setToolTip(tr("Snap/beat"));
    m_snapComboBox->setMinimumHeight(26);
    m_snapComboBox->setFixedSize(m_snapComboBox->sizeHint());
    m_timeToolbar->addWidget(m_snapComboBox);
}

QLabel* vx99MainForm::addIndicator(const QString& text, const QString& tip)
{
    auto* label = new QLabel(text, statusBar());
    label->setAlignment(Qt::AlignHCenter);
    label->setMinimumWidth(label->sizeHint().width() + 8);
    label->setToolTip(tip);
    label->setAutoFillBackground(true);
    statusBar()->addPermanentWidget(label);
    return label;
}

void vx99MainForm::setIndicator(QLabel* label, const QString& text, bool lit)
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

void vx99MainForm::createStatusBar()
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
    m_modLabel = addIndicator(QStringLiteral("MOD"), tr("vx50 modification state"));
    m_recLabel = addIndicator(QStringLiteral("REC"), tr("vx50 record state"));
    m_muteLabel = addIndicator(QStringLiteral("MUTE"), tr("vx50 muting state"));
    m_soloLabel = addIndicator(QStringLiteral("SOLO"), tr("vx50 soloing state"));
    m_loopLabel = addIndicator(QStringLiteral("LOOP"), tr("vx50 looping state"));
    m_timeLabel = addIndicator(QStringLiteral("00:00:00.000"), tr("Song total time"));
    m_rateLabel = addIndicator(QStringLiteral("44100 Hz"), tr("vx50 sample rate"));
    for (QLabel* label : {m_modLabel, m_recLabel, m_muteLabel, m_soloLabel, m_loopLabel})
        setIndicator(label, QString(), false);
}

void vx99MainForm::createCentralWidget()
{
    m_tracksView = new VxTracksView(m_session, this);
    setCentralWidget(m_tracksView);
    connect(m_tracksView, SIGNAL(selectionChanged()), this, SLOT(trackSelectionChanged()));
    connect(m_tracksView, SIGNAL(locateRequested(unsigned long)), this,
            SLOT(transportTimeChanged(unsigned long)));
    connect(m_tracksView, SIGNAL(contentsChanged()), this, SLOT(stabilizeForm()));
    connect(m_tracksView, SIGNAL(destroyed()), this, SLOT(tracksClosed()));
    connect(m_tracksView, &VxTracksView::timeZoomChanged, this,
            [this](int percent) { m_settings->timeZoom = percent; });
    m_tracksView->setMuteHandler(
        [this](vx18* track, bool on) { pushTrackFlag(track, vx18StateCommand::Mute, on); });
    m_tracksView->setSoloHandler(
        [this](vx18* track, bool on) { pushTrackFlag(track, vx18StateCommand::Solo, on); });
    // TODO: the piano roll joins the central widget below the tracks view (a splitter whose
    // sizes are kept in the settings) and connects updateNotifySignal(bool).
}

void vx99MainForm::restoreGeometryFromSettings()
{
    const vx99Settings& s = *m_settings;
    if (s.mainWinWidth > 0 && s.mainWinHeight > 0)
        resize(s.mainWinWidth, s.mainWinHeight);
    if (s.mainWinX != vx99Settings::kUnsetPosition && s.mainWinY != vx99Settings::kUnsetPosition)
        move(s.mainWinX, s.mainWinY);
}

void vx99MainForm::storeGeometryToSettings()
{
    vx99Settings& s = *m_settings;
    s.mainWinX = pos().x();
    s.mainWinY = pos().y();
    s.mainWinWidth = width();
    s.mainWinHeight = height();
    s.mainWinVisible = isVisible();
}
