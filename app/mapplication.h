#pragma once

#include <QApplication>

// The application object. Touch handling is installed on it as an
// application-wide event filter by the main window.
class MApplication : public QApplication {
    Q_OBJECT
public:
    MApplication(int& argc, char** argv) : QApplication(argc, argv) {}
};
