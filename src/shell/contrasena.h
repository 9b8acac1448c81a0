#pragma once

#include "motor.h"

#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks the password a database server wants: which server and user, the password typed hidden.
class DialogoContrasena : public QDialog {
    Q_OBJECT
public:
    explicit DialogoContrasena(const motor::PeticionContrasena& peticion, QWidget* padre = nullptr);

    // What the store calls when a server wants a password: this dialog over the active window;
    // nothing when the user cancels.
    static std::optional<QString> Preguntar(const motor::PeticionContrasena& peticion);

    QLabel* lbServidor = nullptr;
    QLabel* lbUsuario = nullptr;
    QLabel* lbMotivo = nullptr;  // why it asks again
    QLineEdit* txContrasena = nullptr;
    QPushButton* Acepto = nullptr;
    QPushButton* Cancelo = nullptr;
};
