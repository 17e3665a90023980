#include "views/CVexaDeskApp.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <platform/AppDir.h>

#include "core/CKNetCom2Global.h"
#include "device/CDeviceThread.h"
#include "device/SimulatedRack.h"
#include "dialogs/CDlgSearchKind.h"
#include "dialogs/CDlgUsbSearch.h"
#include "views/CMainFrame.h"
#include "views/QtMessagePresenter.h"

namespace vexadesk {

CVexaDeskApp::CVexaDeskApp(QApplication& app) : app_(app) {
    // The global object reads the language list first: the catalog folder depends on it.
    global_ = std::make_unique<CKNetCom2Global>();
    presenter_ = std::make_unique<QtMessagePresenter>();
    name_share::CGenGlobal::SetPresenter(presenter_.get());
}

CVexaDeskApp::~CVexaDeskApp() {
    frame_.reset();
    thread_.reset();
    rack_.reset();
    name_share::CGenGlobal::SetPresenter(nullptr);
    if (translator_) app_.removeTranslator(translator_.get());
}

bool CVexaDeskApp::parseArgs(const QStringList& args, StartOptions& out, QString& error) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--simulate"))
            out.simulate = true;
        else if (a == QLatin1String("--no-simulate"))
            out.noSimulate = true;
        else if (a == QLatin1String("--no-search"))
            out.search = false;
        else {
            error = QStringLiteral("unknown option '%1'").arg(a);
            return false;
        }
    }
    if (out.simulate && out.noSimulate) {
        error = QStringLiteral("--simulate and --no-simulate exclude each other");
        return false;
    }
    return true;
}

void CVexaDeskApp::loadTranslations() {
    const auto& langs = global_->Languages();
    int sel = global_->Selected();
    if (sel < 0 || sel >= static_cast<int>(langs.size())) return;
    // The upgrade library's dialog shows the library's texts in the language chosen here.
    if (!langs[sel].locale.empty()) QLocale::setDefault(QLocale(QString::fromStdString(langs[sel].locale)));
    if (langs[sel].qmFile.empty()) return;
    auto t = std::make_unique<QTranslator>();
    QString file = QString::fromStdString(vexa::appPath("language/" + langs[sel].qmFile));
    if (t->load(file)) {
        app_.installTranslator(t.get());
        translator_ = std::move(t);
    }
}

void CVexaDeskApp::loadSkin() {
    QFile skin(QString::fromStdString(vexa::appPath("VexaDesk.qss")));
    if (skin.open(QIODevice::ReadOnly)) app_.setStyleSheet(QString::fromUtf8(skin.readAll()));
}

bool CVexaDeskApp::start(const StartOptions& options, bool show) {
    loadTranslations();
    global_->LoadCatalog();
    loadSkin();

    QString source;
    bool wantRack = options.simulate;
    if (!wantRack && !options.noSimulate && !std::getenv("VEXA_HID")) wantRack = !realCouplerPresent();
    if (wantRack) {
        rack_ = std::make_unique<SimulatedRack>();
        std::string error;
        if (!rack_->start(&error)) {
            rack_.reset();
            source = QObject::tr("模拟机架无法启动：%1").arg(QString::fromStdString(error));
        } else {
            source = QObject::tr("无真实模块应答：使用内置模拟机架");
        }
    } else {
        source = std::getenv("VEXA_HID") ? QObject::tr("USB（外部模拟总线）") : QObject::tr("USB");
    }

    thread_ = std::make_unique<CDeviceThread>();
    frame_ = std::make_unique<CMainFrame>(*thread_);
    frame_->setSourceNote(source);
    if (show) frame_->show();
    if (rack_ && options.search && show) {
        // On the simulated rack the devices are known to be there: list every kind at once.
        const QString port = QString::fromStdString(rack_->serialPort());
        CDlgSearchKind::addKnownPort(port);
        QTimer::singleShot(0, frame_.get(), [this, port] {
            frame_->onSearchQuick();
            SearchRequest eth;
            eth.kind = kLinkEthernet;
            frame_->onSearchQuick(eth);
            SearchRequest rs;
            rs.kind = kLinkSerial;
            rs.line.port = port.toStdString();
            rs.firstStation = rs.lastStation = 1;
            frame_->onSearchQuick(rs);
        });
    }
    return true;
}

}  // namespace vexadesk
