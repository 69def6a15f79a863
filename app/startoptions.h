#ifndef STARTOPTIONS_H
#define STARTOPTIONS_H

#include <QString>

class QCoreApplication;

// What the command line asks of the program, besides Qt's own options.
struct StartOptions
{
    // config.txt in the per-user data folder rather than the working folder,
    // as the desktop menu starts the program: never loose in the home folder.
    bool dataFolder = false;

    // Reads app's command line. --help and --version print their text and end the program.
    static StartOptions read(const QCoreApplication &app);
    // True when the command line asks only for help or the version, which
    // must work without a display, before the window system is opened.
    static bool asksOnlyForText(int argc, char *argv[]);

    // The folder config.txt goes to: the per-user data folder, or empty for
    // the working folder.
    QString configFolder() const;
    // Makes the per-user data folder, when it is asked for and missing, as
    // the program does at start-up. False when it cannot be made.
    bool makeConfigFolder() const;
};

#endif
