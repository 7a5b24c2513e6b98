// Ripper control of the main window.
