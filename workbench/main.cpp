// VexaDesk: the workbench for commissioning and maintaining VEXA distributed I/O.
#include <QApplication>

#include <cstdio>

#include "views/CVexaDeskApp.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    vexadesk::StartOptions options;
    QString error;
    if (!vexadesk::CVexaDeskApp::parseArgs(app.arguments(), options, error)) {
        std::fprintf(stderr, "VexaDesk: %s\nusage: VexaDesk [--simulate | --no-simulate] [--no-search]\n",
                     error.toLocal8Bit().constData());
        return 2;
    }
    vexadesk::CVexaDeskApp desk(app);
    if (!desk.start(options)) return 1;
    return app.exec();
}
