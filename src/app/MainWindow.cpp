#include "app/MainWindow.h"

#include "app/Driver.h"
#include "app/JobCycle.h"
#include "app/Simulation.h"
#include "platform/ByteFiles.h"
#include "platform/Cp1252.h"
#include "settings/IpAddress.h"
#include "settings/Options.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace tavor1 {

namespace {

constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 0;
constexpr int kVersionRevision = 0;
constexpr const char* kTitle = "Tavor1";
constexpr const char* kCaption = "Zef_Tavor1 per Custom  vers. RETE                  RT  V7";
constexpr const char* kIdleTip = "Tavor1 in attesa esecuzione...";
constexpr const char* kBusyTip = "Tavor1 in esecuzione...";

QString toQ(const std::string& cp1252)
{
    return QString::fromStdString(cp1252ToUtf8(cp1252));
}

// Texts typed into the window go back into the model as Windows-1252 bytes.
std::string fromQ(const QString& text)
{
    std::string out;
    for (QChar c : text)
        out += c.unicode() < 256 ? static_cast<char>(c.unicode()) : '?';
    return out;
}

class WindowMessageSink final : public MessageSink {
public:
    void showMessage(const std::string& text) override
    {
        QMessageBox::information(QApplication::activeWindow(), kTitle, toQ(text));
    }
};

struct OptionBox {
    const char* name;
    const char* caption;
    bool Options::*member;
    const char* toolTip;
};

// The option check boxes, in the frames they live in.
const OptionBox kProgramOptions[] = {
    {"chbTrace", "Abilita Trace di Comunicazione", &Options::chbTrace, nullptr},
    {"chbConvXonXoff", "Conversione da XonXoff", &Options::chbConvXonXoff, nullptr},
    {"chkDisableDisplay", "Disabilita Display Articoli", &Options::chkDisableDisplay, nullptr},
    {"chkCodFisc", "Abilita Stampa CF/PIVA", &Options::chkCodFisc, nullptr},
    {"chbDescrizione", "Abilita Descizione 44", &Options::chbDescrizione, nullptr},
};
const OptionBox kOtherOptions[] = {
    {"chbPagamentiEstesi", "Abilita Estensione Pagamenti", &Options::chbPagamentiEstesi, nullptr},
    {"chbInversioneScontiSuReso", "Abilita Inversione Sconti su Reso", &Options::chbInversioneScontiSuReso, nullptr},
    {"chbAbilRistampaDaErroreSocket", "Abilita Ristampa da Errore di Rete ", &Options::chbAbilRistampaDaErroreSocket, nullptr},
    {"chbNoInviaApCassetto", "Non Invia Apert. Cassetto da SW", &Options::chbNoInviaApCassetto, nullptr},
    {"chbDisabTotalizzatori", "Disab.  Totalizzatori", &Options::chbDisabTotalizzatori,
     "Disabilita richiesta dati dei totalizzatori a fine scontrino"},
    {"chkForzaIntestazioneFattura", "Forza Intest. Fattura", &Options::chkForzaIntestazioneFattura, nullptr},
    {"CheckLogPagamento", "Log Pagam. POS", &Options::CheckLogPagamento, nullptr},
    {"CheckStampaLogo", "Logo In Coda", &Options::CheckStampaLogo, nullptr},
    {"chbMatricola", "Matricola in Out File", &Options::chbMatricola, nullptr},
};

QLineEdit* statusBox(const char* name, const char* toolTip, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    if (toolTip)
        box->setToolTip(toolTip);
    return box;
}

QFrame* lamp(const QString& name, QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setFixedSize(16, 16);
    f->setFrameShape(QFrame::Box);
    f->setAutoFillBackground(true);
    return f;
}

} // namespace

QString aboutVersionText(int major, int minor, int revision)
{
    return QStringLiteral("Versione %1.%2.0.%3").arg(major).arg(minor).arg(revision);
}

std::unique_ptr<MessageSink> MainWindow::makeMessageSink()
{
    return std::make_unique<WindowMessageSink>();
}

MainWindow::MainWindow(Driver& driver, Simulation* simulation, QWidget* parent)
    : QMainWindow(parent), m_driver(driver), m_simulation(simulation)
{
    setObjectName("fTavor1");
    setWindowTitle(kCaption);
    setWindowIcon(style()->standardIcon(QStyle::SP_ComputerIcon));
    buildControls();
    buildMenus();
    connectDriver();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls()
{
    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    setCentralWidget(central);

    // Channels.
    auto* ports = new QGroupBox("Porte di comunicazione", central);
    ports->setObjectName("Frame1");
    auto* portsLayout = new QGridLayout(ports);
    for (int n = 1; n <= 4; ++n) {
        auto* label = new QLabel(QStringLiteral("COM %1").arg(n), ports);
        auto* box = new QCheckBox(ports);
        box->setObjectName(QStringLiteral("Check%1").arg(n));
        box->setToolTip(QStringLiteral("Abilita / disabilita COM%1").arg(n));
        m_check[n - 1] = box;
        auto* l = lamp(QStringLiteral("ShapeCom%1").arg(n), ports);
        l->setToolTip(QStringLiteral("Verde, se COM%1 disponibile").arg(n));
        m_channelLamp[n - 1] = l;
        auto* dump = statusBox(QStringLiteral("Text%1").arg(n + 3).toLatin1().constData(), nullptr, ports);
        dump->setToolTip(QStringLiteral("Segnala se DUMP ricevuto su COM%1").arg(n));
        m_dumpState[n - 1] = dump;
        portsLayout->addWidget(label, n - 1, 0);
        portsLayout->addWidget(box, n - 1, 1);
        portsLayout->addWidget(l, n - 1, 2);
        portsLayout->addWidget(dump, n - 1, 3);
        connect(box, &QCheckBox::toggled, this, [this, n](bool on) { m_driver.cycle().setChannelEnabled(n, on); });
    }
    grid->addWidget(ports, 0, 0);

    // The register's address and the connection.
    m_frame2 = new QGroupBox("Configurazione Programma", central);
    m_frame2->setObjectName("Frame2");
    auto* conf = new QGridLayout(m_frame2);
    conf->addWidget(new QLabel("Ind. IP Stampante Fiscale", m_frame2), 0, 0);
    m_txtRemoteIP = new QLineEdit(m_frame2);
    m_txtRemoteIP->setObjectName("txtRemoteIP");
    conf->addWidget(m_txtRemoteIP, 0, 1);
    m_cmdValidateIP = new QPushButton("Valida IP", m_frame2);
    m_cmdValidateIP->setObjectName("cmdValidateIP");
    m_cmdValidateIP->setToolTip("Validazione Indirizzo IP");
    conf->addWidget(m_cmdValidateIP, 0, 2);
    m_shapeConn = lamp("ShapeConn", m_frame2);
    conf->addWidget(m_shapeConn, 0, 3);
    conf->addWidget(new QLabel("T.Out Conn. in Sec.", m_frame2), 1, 0);
    m_cboToutConn = new QComboBox(m_frame2);
    m_cboToutConn->setObjectName("cboToutConn");
    m_cboToutConn->setToolTip("Timeout in sec. di attesa Connessione");
    m_cboToutConn->addItems({"10 sec.", "20 sec.", "30 sec.", "40 sec.", "50 sec.", "60 sec."});
    conf->addWidget(m_cboToutConn, 1, 1);
    m_cmdResetConn = new QPushButton("Reset Connessione", m_frame2);
    m_cmdResetConn->setObjectName("cmdResetConn");
    m_cmdResetConn->setToolTip("Chiude e Riavvia la connessione di Rete");
    conf->addWidget(m_cmdResetConn, 1, 2);
    int row = 2;
    for (const auto& o : kProgramOptions) {
        auto* box = new QCheckBox(o.caption, m_frame2);
        box->setObjectName(o.name);
        auto member = o.member;
        connect(box, &QCheckBox::toggled, this, [this, member](bool on) { m_driver.options().*member = on; });
        conf->addWidget(box, row++, 0, 1, 3);
    }
    auto* invoices = new QGroupBox("Gest. Fatture su Scontrino", m_frame2);
    invoices->setObjectName("FrameFatture");
    auto* inv = new QHBoxLayout(invoices);
    m_optNonFiscal = new QRadioButton("Input Non Fiscale", invoices);
    m_optNonFiscal->setObjectName("OptNonFiscal");
    m_optFiscal = new QRadioButton("Input Fiscale", invoices);
    m_optFiscal->setObjectName("OptFiscal");
    inv->addWidget(m_optNonFiscal);
    inv->addWidget(m_optFiscal);
    connect(m_optNonFiscal, &QRadioButton::toggled, this, [this](bool on) { m_driver.options().OptNonFiscal = on; });
    conf->addWidget(invoices, row++, 0, 1, 3);
    grid->addWidget(m_frame2, 0, 1, 2, 1);

    m_frame6 = new QGroupBox("Altre Opzioni", central);
    m_frame6->setObjectName("Frame6");
    auto* other = new QVBoxLayout(m_frame6);
    for (const auto& o : kOtherOptions) {
        auto* box = new QCheckBox(o.caption, m_frame6);
        box->setObjectName(o.name);
        if (o.toolTip)
            box->setToolTip(o.toolTip);
        auto member = o.member;
        connect(box, &QCheckBox::toggled, this, [this, member](bool on) { m_driver.options().*member = on; });
        other->addWidget(box);
    }
    grid->addWidget(m_frame6, 0, 2, 2, 1);

    // Poll mode and timer.
    m_frame3 = new QGroupBox("Impostazioni ", central);
    m_frame3->setObjectName("Frame3");
    auto* settings = new QGridLayout(m_frame3);
    m_optionFast = new QRadioButton("Notifica (Fast)", m_frame3);
    m_optionFast->setObjectName("OptionFAST");
    m_optionSlow = new QRadioButton("Timer    (Slow)", m_frame3);
    m_optionSlow->setObjectName("OptionSLOW");
    m_txtTimerVal = new QLineEdit(m_frame3);
    m_txtTimerVal->setObjectName("txtTimerVal");
    m_txtTimerVal->setToolTip("Valore del timer in secondi");
    m_setTimer = new QPushButton("Set timer", m_frame3);
    m_setTimer->setObjectName("cmdSetTimer");
    m_setTimer->setToolTip("Cliccare per settare il timer");
    m_text3 = statusBox("Text3", nullptr, m_frame3);
    m_text3->setAlignment(Qt::AlignCenter);
    settings->addWidget(m_optionFast, 0, 0);
    settings->addWidget(m_optionSlow, 1, 0);
    settings->addWidget(m_txtTimerVal, 0, 1);
    settings->addWidget(m_setTimer, 1, 1);
    settings->addWidget(m_text3, 2, 0, 1, 2);
    grid->addWidget(m_frame3, 1, 0);

    m_frame4 = new QGroupBox("Messaggi", central);
    m_frame4->setObjectName("Frame4");
    auto* msgs = new QGridLayout(m_frame4);
    m_text1 = statusBox("Text1", "Messaggi ricevuti da ECR", m_frame4);
    m_text2 = statusBox("Text2", "Stato del programma", m_frame4);
    m_text8 = statusBox("Text8", "Matricola", m_frame4);
    msgs->addWidget(m_text1, 0, 0, 1, 2);
    msgs->addWidget(m_text2, 1, 0, 1, 2);
    msgs->addWidget(new QLabel("Matricola", m_frame4), 2, 0);
    msgs->addWidget(m_text8, 2, 1);
    msgs->addWidget(new QLabel("Path Scambio  Dati ", m_frame4), 3, 0);
    m_txtAppDataVista = statusBox("txtAppDataVista", nullptr, m_frame4);
    msgs->addWidget(m_txtAppDataVista, 3, 1);
    grid->addWidget(m_frame4, 2, 0, 1, 3);

    auto* buttons = new QHBoxLayout;
    m_cmbFile = new QPushButton(" Esegui Test", central);
    m_cmbFile->setObjectName("CMBFile");
    m_cmbFile->setToolTip("Esegue scontrino di prova per test collegamento");
    m_annullo = new QPushButton("Annullla Doc", central);
    m_annullo->setObjectName("Annullo");
    buttons->addWidget(m_cmbFile);
    buttons->addWidget(m_annullo);
    buttons->addStretch();
    grid->addLayout(buttons, 3, 0, 1, 3);

    connect(m_txtRemoteIP, &QLineEdit::editingFinished, this,
            [this] { m_driver.setRemoteIP(fromQ(m_txtRemoteIP->text().trimmed())); });
    connect(m_cboToutConn, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_driver.options().cboToutConn = index; });
    connect(m_cmdValidateIP, &QPushButton::clicked, this, &MainWindow::validateIP);
    connect(m_cmdResetConn, &QPushButton::clicked, this, &MainWindow::resetConnection);
    connect(m_cmbFile, &QPushButton::clicked, this, [this] { m_driver.cycle().runTestReceipt(); });
    connect(m_annullo, &QPushButton::clicked, this, [this] { m_driver.cancelDocument(); });
    connect(m_setTimer, &QPushButton::clicked, this, [this] { m_driver.setTimer(fromQ(m_txtTimerVal->text())); });
    connect(m_optionFast, &QRadioButton::clicked, this, [this] { m_driver.cycle().selectFast(); });
    connect(m_optionSlow, &QRadioButton::clicked, this, [this] { m_driver.cycle().selectSlow(); });
}

void MainWindow::buildMenus()
{
    m_fileMenu = menuBar()->addMenu("&File");
    m_fileMenu->setObjectName("m_file");
    QAction* esci = m_fileMenu->addAction("T&ermina Tavor1", this, &MainWindow::terminate);
    esci->setObjectName("m_esci");
    m_fileMenu->setDefaultAction(esci);
    if (m_simulation) {
        QAction* roll = m_fileMenu->addAction("Rotolo simulato", this, &MainWindow::showRoll);
        roll->setObjectName("m_roll");
    }
    QMenu* help = menuBar()->addMenu("&?");
    help->setObjectName("m_help");
    help->addAction("&Manuale Tavor1", this, &MainWindow::openManual)->setObjectName("m_manual");
    help->addAction("&Info Stampante", this, &MainWindow::openPrinterPage)->setObjectName("m_printer");
    help->addAction("&Informazioni  su  Tavor1", this, &MainWindow::showAbout)->setObjectName("m_info");
}

void MainWindow::buildTray()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setToolTip(kIdleTip);
    m_tray->setContextMenu(m_fileMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            ShowMainWindow();
    });
    m_tray->show();
}

void MainWindow::connectDriver()
{
    JobCycle& cycle = m_driver.cycle();
    connect(&cycle, &JobCycle::statusText, this, [this](const std::string& t) { setText(m_text2, t); });
    connect(&m_driver, &Driver::statusText, this, [this](const std::string& t) { setText(m_text2, t); });
    connect(&cycle, &JobCycle::timerStateText, this, [this](const std::string& t) { setText(m_text3, t); });
    connect(&cycle, &JobCycle::registerMessage, this, [this](const std::string& t) { setText(m_text1, t); });
    connect(&cycle, &JobCycle::timerBoxVisible, this, [this](bool visible) {
        m_txtTimerVal->setVisible(visible);
        m_setTimer->setVisible(visible);
    });
    connect(&cycle, &JobCycle::watchStarted, this, [this] { m_frame3->setTitle("Stato del collegamento"); });
    connect(&cycle, &JobCycle::jobStarted, this, &MainWindow::onJobStarted);
    connect(&cycle, &JobCycle::jobFinished, this, &MainWindow::onJobFinished);
    connect(&cycle, &JobCycle::channelsInService, this, [this](bool any) {
        for (QGroupBox* f : {m_frame2, m_frame6, m_frame3, m_frame4})
            f->setEnabled(!any);
    });
    connect(&cycle, &JobCycle::testButtonsEnabled, this, [this](bool on) {
        m_cmbFile->setEnabled(on);
        m_annullo->setEnabled(on);
    });
    connect(&m_driver, &Driver::dumpStateText, this, [this](int channel, const std::string& t) {
        if (channel >= 1 && channel <= 4 && m_driver.state().WindowShown)
            setText(m_dumpState[channel - 1], t);
    });
    connect(&m_driver, &Driver::serialNumberChanged, this, [this](const std::string& s) { setText(m_text8, s); });
    connect(&m_driver.connection(), &RegisterConnection::lampChanged, this,
            [this](bool connected) { setLamp(m_shapeConn, connected); });
    connect(&m_driver.connection(), &RegisterConnection::resetCaption, this,
            [this](const QString& caption) { m_cmdResetConn->setText(caption); });
    if (m_simulation)
        connect(m_simulation, &Simulation::documentPrinted, this, [this](const QString& text) {
            if (m_rollView)
                m_rollView->appendPlainText(text);
        });
}

void MainWindow::start()
{
    // The splash is loaded and unloaded around the loading, never shown.
    m_driver.load();
    fillFromModel();
    buildTray();
    if (!m_tray)
        ShowMainWindow(); // no notification area: the window is the only way in
}

void MainWindow::fillFromModel()
{
    const Options& o = m_driver.options();
    // Painting the model must not write back into it through the handlers.
    const QSignalBlocker blockers[] = {QSignalBlocker(m_check[0]), QSignalBlocker(m_check[1]),
                                       QSignalBlocker(m_check[2]), QSignalBlocker(m_check[3]),
                                       QSignalBlocker(m_cboToutConn), QSignalBlocker(m_optNonFiscal)};
    for (int n = 0; n < 4; ++n) {
        m_check[n]->setChecked(o.channelEnabled[n]);
        setLamp(m_channelLamp[n], true);
    }
    for (QCheckBox* box : findChildren<QCheckBox*>()) {
        for (const auto* table : {std::begin(kProgramOptions), std::begin(kOtherOptions)}) {
            (void)table;
        }
        for (const auto& opt : kProgramOptions)
            if (box->objectName() == opt.name) {
                QSignalBlocker b(box);
                box->setChecked(o.*opt.member);
            }
        for (const auto& opt : kOtherOptions)
            if (box->objectName() == opt.name) {
                QSignalBlocker b(box);
                box->setChecked(o.*opt.member);
            }
    }
    m_txtRemoteIP->setText(toQ(o.txtRemoteIP));
    m_cboToutConn->setCurrentIndex(o.cboToutConn);
    m_optNonFiscal->setChecked(o.OptNonFiscal);
    m_optFiscal->setChecked(!o.OptNonFiscal);
    m_optionFast->setChecked(o.OptionFAST);
    m_optionSlow->setChecked(!o.OptionFAST);
    m_txtTimerVal->setText(toQ(o.txtTimerVal));
    m_txtTimerVal->setVisible(!o.OptionFAST);
    m_setTimer->setVisible(!o.OptionFAST);
    m_txtAppDataVista->setText(toQ(m_driver.config().dataDir));
    setLamp(m_shapeConn, false);
    const bool any = o.channelEnabled[0] || o.channelEnabled[1] || o.channelEnabled[2] || o.channelEnabled[3];
    for (QGroupBox* f : {m_frame2, m_frame6, m_frame3, m_frame4})
        f->setEnabled(!any);
}

void MainWindow::ShowMainWindow()
{
    for (int n = 0; n < 4; ++n)
        setText(m_dumpState[n], m_driver.state().channels[n].DumpPending ? "DUMP NON ESEGUITO" : "DUMP ESEGUITO");
    m_driver.state().WindowShown = true;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_tray) {
        m_driver.state().WindowShown = false;
        QTimer::singleShot(0, this, &QWidget::hide);
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    terminate();
}

void MainWindow::terminate()
{
    if (m_closing)
        return;
    m_closing = true;
    m_driver.state().WindowShown = false;
    if (m_tray)
        m_tray->hide();
    hide();
    QDialog notice(this);
    notice.setObjectName("fChiusura");
    notice.setWindowFlag(Qt::WindowStaysOnTopHint);
    auto* layout = new QVBoxLayout(&notice);
    layout->addWidget(new QLabel(" Chiusura programma Tavor1 in corso ...", &notice));
    notice.show();
    m_driver.close();
}

void MainWindow::setLamp(QFrame* l, bool green)
{
    QPalette p = l->palette();
    p.setColor(QPalette::Window, green ? QColor(0, 255, 0) : QColor(255, 0, 0));
    l->setPalette(p);
}

void MainWindow::setText(QLineEdit* box, const std::string& text)
{
    box->setText(toQ(text));
}

void MainWindow::validateIP()
{
    const QString caption = m_cmdValidateIP->text();
    m_cmdValidateIP->setText(ValidateIPAddress(fromQ(m_txtRemoteIP->text())) ? "IP OK" : "IP non Valido");
    QTimer::singleShot(2000, m_cmdValidateIP, [b = m_cmdValidateIP, caption] { b->setText(caption); });
}

void MainWindow::resetConnection()
{
    const QString caption = m_cmdResetConn->text();
    m_driver.setRemoteIP(fromQ(m_txtRemoteIP->text().trimmed()));
    m_driver.connection().resetConnection();
    m_cmdResetConn->setText(caption);
}

void MainWindow::onJobStarted()
{
    if (m_tray)
        m_tray->setToolTip(kBusyTip);
}

void MainWindow::onJobFinished()
{
    if (m_tray)
        m_tray->setToolTip(kIdleTip);
}

void MainWindow::showAbout()
{
    QDialog about(this);
    about.setObjectName("frmAbout");
    about.setWindowTitle("Informazioni su Tavor1");
    auto* layout = new QVBoxLayout(&about);
    auto* title = new QLabel(QStringLiteral("%1 per sistemi Windows 32 bit").arg(kTitle), &about);
    title->setObjectName("lblTitle");
    auto* version = new QLabel(aboutVersionText(kVersionMajor, kVersionMinor, kVersionRevision), &about);
    version->setObjectName("lblVersion");
    auto* description = new QLabel("Driver di stampa fiscale per registratori di cassa in rete", &about);
    description->setObjectName("lblDescription");
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    connect(ok, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    layout->addWidget(title);
    layout->addWidget(version);
    layout->addWidget(description);
    layout->addWidget(ok);
    about.exec();
}

void MainWindow::openManual()
{
    const std::string path = joinPath(m_driver.config().programDir, "mantavor1.pdf");
    if (fileExists(path))
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
    else
        QMessageBox::information(this, kTitle, toQ("File: " + path + " non trovato"));
}

void MainWindow::openPrinterPage()
{
    const QString address = m_txtRemoteIP->text().trimmed();
    if (address.isEmpty())
        QMessageBox::information(this, kTitle, "Inserire Indirizzo IP Stampante");
    else
        QDesktopServices::openUrl(QUrl("http://" + address));
}

void MainWindow::showRoll()
{
    if (!m_rollView) {
        m_rollView = new QPlainTextEdit(nullptr);
        m_rollView->setAttribute(Qt::WA_DeleteOnClose, false);
        m_rollView->setObjectName("rollView");
        m_rollView->setWindowTitle("Rotolo simulato");
        m_rollView->setReadOnly(true);
        m_rollView->setFont(QFont("Monospace"));
        m_rollView->resize(420, 600);
        if (m_simulation)
            m_rollView->setPlainText(QString::fromUtf8(m_simulation->rollText()));
        connect(this, &QObject::destroyed, m_rollView, &QObject::deleteLater);
    }
    m_rollView->show();
    m_rollView->raise();
}

} // namespace tavor1
