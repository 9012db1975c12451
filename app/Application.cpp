#include "app/Application.h"

#include <QApplication>
#include <QLabel>

#include <cstdio>

int runApplication(int argc, char **argv, DriveMaker makeDrive) {
    QApplication app(argc, argv);
    std::string description;
    std::unique_ptr<platform::CdDrive> drive = makeDrive(description);
    std::printf("%s\n", description.c_str());
    std::fflush(stdout);
    QLabel placeholder(QStringLiteral("CD-Tunewick32"));
    placeholder.setWindowFlag(Qt::FramelessWindowHint);
    placeholder.setStyleSheet(QStringLiteral("background: black; color: white;"));
    placeholder.resize(333, 61);
    placeholder.show();
    return app.exec();
}
