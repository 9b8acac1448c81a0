#pragma once

#include <QDialog>

class QTextBrowser;

// "Acerca de": the producer's declaration of the invoicing system (declaración responsable),
// with the producer's data from the declaracion.ini installed with the program.
class AcercaDe : public QDialog {
    Q_OBJECT
public:
    explicit AcercaDe(QWidget* padre = nullptr);
    QTextBrowser* txDeclaracion = nullptr;
};
