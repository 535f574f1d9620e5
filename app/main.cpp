// pavalo: the game.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "app/application.h"

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName("Pavalo");
    pavalo::LaunchOptions options;
    QString error;
    if (!pavalo::parseLaunchOptions(QApplication::arguments(), options, error)) {
        std::fprintf(stderr,
                     "pavalo: %s\nusage: pavalo [--window WxH] [--new PICTURE [--pieces N] [--seed S] [--rotate]]"
                     " [--open FILE.gvp] [--choose-picture] [--screenshot FILE.png [--second-screenshot FILE.png]]"
                     " [FILE.gvp | PICTURE]\n"
                     "       pavalo --lobby HOST:PORT [--join ADDRESS:PORT] [--name SESSION] [--player NAME] [--team T]"
                     " [--port P] [--bind ADDRESS] [--discovery-port P]\n",
                     qPrintable(error));
        return 2;
    }
    pavalo::Application app(std::move(options));
    if (!app.start()) return app.anotherCopyRuns() || app.lobbyLaunched() ? 1 : 0;
    QTimer::singleShot(0, &app, &pavalo::Application::runStartRoutine);
    const int status = QApplication::exec();
    app.shutdown();
    return status;
}
