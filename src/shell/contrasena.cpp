#include "contrasena.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

DialogoContrasena::DialogoContrasena(const motor::PeticionContrasena& peticion, QWidget* padre) : QDialog(padre)
{
    setObjectName(QStringLiteral("DialogoContrasena"));
    setWindowTitle(QStringLiteral("Contraseña de la base de datos"));
    auto* raiz = new QVBoxLayout(this);
    auto* explicacion = new QLabel(QStringLiteral("El servidor de la base de datos pide una contraseña. Se usará mientras "
                                                  "el programa esté abierto y no se guarda en ningún archivo."),
                                   this);
    explicacion->setWordWrap(true);
    raiz->addWidget(explicacion);

    auto* datos = new QFormLayout;
    lbServidor = new QLabel(peticion.base.isEmpty() ? peticion.servidor
                                                    : QStringLiteral("%1 (base de datos %2)").arg(peticion.servidor, peticion.base),
                            this);
    lbServidor->setObjectName(QStringLiteral("lbServidor"));
    lbUsuario = new QLabel(peticion.usuario, this);
    lbUsuario->setObjectName(QStringLiteral("lbUsuario"));
    txContrasena = new QLineEdit(this);
    txContrasena->setObjectName(QStringLiteral("txContrasena"));
    txContrasena->setEchoMode(QLineEdit::Password);
    auto* etiqueta = new QLabel(QStringLiteral("&Contraseña:"), this);
    etiqueta->setBuddy(txContrasena);
    datos->addRow(QStringLiteral("Servidor:"), lbServidor);
    datos->addRow(QStringLiteral("Usuario:"), lbUsuario);
    datos->addRow(etiqueta, txContrasena);
    raiz->addLayout(datos);

    lbMotivo = new QLabel(peticion.motivo, this);
    lbMotivo->setObjectName(QStringLiteral("lbMotivo"));
    lbMotivo->setWordWrap(true);
    lbMotivo->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold"));
    lbMotivo->setVisible(!peticion.motivo.isEmpty());
    raiz->addWidget(lbMotivo);

    auto* botones = new QDialogButtonBox(this);
    Acepto = botones->addButton(QStringLiteral("&Aceptar"), QDialogButtonBox::AcceptRole);
    Cancelo = botones->addButton(QStringLiteral("Ca&ncelar"), QDialogButtonBox::RejectRole);
    Acepto->setObjectName(QStringLiteral("Acepto"));
    Cancelo->setObjectName(QStringLiteral("Cancelo"));
    Acepto->setDefault(true);
    raiz->addWidget(botones);
    connect(botones, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(botones, &QDialogButtonBox::rejected, this, &QDialog::reject);
    txContrasena->setFocus(Qt::OtherFocusReason);
    resize(420, sizeHint().height());
}

std::optional<QString> DialogoContrasena::Preguntar(const motor::PeticionContrasena& peticion)
{
    // Asked while a connection is being tried under the wait cursor: the user needs the arrow.
    const bool esperando = QApplication::overrideCursor() != nullptr;
    if (esperando)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    DialogoContrasena d(peticion, QApplication::activeWindow());
    const bool aceptado = d.exec() == QDialog::Accepted;
    if (esperando)
        QApplication::restoreOverrideCursor();
    if (!aceptado)
        return std::nullopt;
    return d.txContrasena->text();
}
