#include "app/Driver.h"
#include "app/JobCycle.h"
#include "app/MainWindow.h"
#include "app/TestReceipt.h"
#include "platform/ByteFiles.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest()
    {
        writeFileBytes(joinPath(config.path(), "TVCHKCOM.TXT"), "1100\r\n");
        DriverConfig c;
        c.programDir = config.path();
        c.dataDir = data.path();
        c.closingPauseMs = 0;
        driver = std::make_unique<Driver>(c, sink, SystemClock::instance());
        window = std::make_unique<MainWindow>(*driver);
        window->start();
    }

    template <typename T>
    T* child(const char* name) const
    {
        return window->findChild<T*>(name);
    }

    test::TempDir config;
    test::TempDir data;
    NullMessageSink sink;
    std::unique_ptr<Driver> driver;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, ControlsCarryTheirCaptionsAndShowTheModel)
{
    EXPECT_EQ(window->windowTitle(), "Zef_Tavor1 per Custom  vers. RETE                  RT  V7");
    struct Caption {
        const char* name;
        const char* text;
    };
    for (const Caption& c : {Caption{"CMBFile", " Esegui Test"}, Caption{"Annullo", "Annullla Doc"},
                             Caption{"cmdSetTimer", "Set timer"}, Caption{"cmdValidateIP", "Valida IP"},
                             Caption{"cmdResetConn", "Reset Connessione"}}) {
        auto* b = child<QPushButton>(c.name);
        ASSERT_NE(b, nullptr) << c.name;
        EXPECT_EQ(b->text().toStdString(), c.text);
    }
    EXPECT_EQ(child<QRadioButton>("OptionSLOW")->text(), "Timer    (Slow)");
    EXPECT_EQ(child<QCheckBox>("chbDisabTotalizzatori")->text(), "Disab.  Totalizzatori");
    EXPECT_EQ(child<QCheckBox>("Check3")->toolTip(), "Abilita / disabilita COM3");
    EXPECT_EQ(child<QGroupBox>("Frame3")->title(), "Impostazioni ");
    for (const char* box : {"Text1", "Text2", "Text3", "Text4", "Text7", "Text8", "txtRemoteIP", "txtTimerVal"})
        EXPECT_NE(child<QLineEdit>(box), nullptr) << box;
    ASSERT_NE(child<QComboBox>("cboToutConn"), nullptr);
    EXPECT_EQ(child<QComboBox>("cboToutConn")->currentText(), "20 sec.");
    EXPECT_EQ(child<QComboBox>("cboToutConn")->count(), 6);

    // The channel boxes show TVCHKCOM.TXT.
    EXPECT_TRUE(child<QCheckBox>("Check1")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("Check2")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("Check3")->isChecked());

    QStringList menus;
    for (QAction* a : window->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&?"}));
}

TEST_F(MainWindowTest, AChannelBoxTakesItsChannelOutOfServiceAndAnOptionBoxWritesTheModel)
{
    child<QCheckBox>("Check2")->click();
    EXPECT_FALSE(driver->options().channelEnabled[1]);
    EXPECT_TRUE(driver->options().channelEnabled[0]);
    // The option frames are locked while a channel is in service.
    child<QCheckBox>("chbMatricola")->click();
    EXPECT_FALSE(driver->options().chbMatricola);
    child<QCheckBox>("Check1")->click();
    EXPECT_TRUE(child<QGroupBox>("Frame6")->isEnabled());
    child<QCheckBox>("chbMatricola")->click();
    EXPECT_TRUE(driver->options().chbMatricola);
    child<QComboBox>("cboToutConn")->setCurrentIndex(0);
    EXPECT_EQ(driver->options().connectionTimeoutSeconds(), 10);
}

TEST_F(MainWindowTest, TheTestButtonWritesTheTestReceipt)
{
    window->ShowMainWindow();
    EXPECT_TRUE(driver->state().WindowShown);
    driver->state().channels[1].DumpPending = false;
    child<QPushButton>("CMBFile")->click();
    EXPECT_EQ(readFileBytes(joinPath(data.path(), "SR_DATI.002")).value_or(""), buildTestReceipt(driver->options()));
    EXPECT_EQ(readFileBytes(joinPath(data.path(), "SR_START.002")).value_or(""), "00000000\r\n");
    EXPECT_FALSE(child<QPushButton>("CMBFile")->isEnabled());
}

TEST_F(MainWindowTest, StartUpClearsLeftOverExchangeFiles)
{
    window.reset();
    driver.reset();
    writeFileBytes(joinPath(data.path(), "SR_START.003"), "x");
    writeFileBytes(joinPath(data.path(), "SR_DATI.004"), "x");
    DriverConfig c;
    c.programDir = config.path();
    c.dataDir = data.path();
    Driver again(c, sink, SystemClock::instance());
    again.load();
    EXPECT_FALSE(fileExists(joinPath(data.path(), "SR_START.003")));
    EXPECT_FALSE(fileExists(joinPath(data.path(), "SR_DATI.004")));
}

TEST(AboutWindow, VersionText)
{
    EXPECT_EQ(aboutVersionText(2, 1, 7), "Versione 2.1.0.7");
}

} // namespace
} // namespace tavor1
