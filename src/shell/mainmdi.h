#pragma once

#include "transporte.h"

#include <QMainWindow>
#include <QString>
#include <QStyle>

#include <memory>
#include <vector>

class QAction;
class QLabel;
class QTimer;
class QMdiArea;
class QToolBar;
class QToolButton;

namespace verifactu {
class EnvioAutomatico;
}

// "versión " major "." minor (two digits) and the revision as a letter (1 is "A").
QString TextoVersion(int mayor, int menor, int revision);

// The program's icon, for every window of the program.
QIcon IconoPrograma();

// The program's one top-level window: the multiple-document frame and its toolbar.
class MainMDI : public QMainWindow {
    Q_OBJECT
public:
    explicit MainMDI(QWidget* padre = nullptr);
    ~MainMDI() override;

    QMdiArea* area() const { return m_area; }
    QToolBar* TBar = nullptr;
    QLabel* lbVersion = nullptr;
    // In VERI*FACTU mode, the records not yet accepted by the agency and why; hidden otherwise.
    QLabel* lbEnvios = nullptr;
    // Reads the sending state again (every station shows it, whichever sends).
    void ActualizarAvisoEnvios();
    // The background sending, in VERI*FACTU mode; null otherwise.
    verifactu::EnvioAutomatico* Envio() const { return m_envio.get(); }
    // Starts, restarts or stops the background sending (and shows the records' button) as the
    // database in use says; after Configurar, which may have changed it.
    void EmpezarEnvio();

    // The toolbar button with this key ("sep1", "cfg", "fin", ...), or null.
    QWidget* Boton(const QString& clave) const;
    void TBar_ButtonClick(const QString& clave);

    // No menu of toolbars: the toolbar is part of the window and cannot be hidden.
    QMenu* createPopupMenu() override { return nullptr; }

protected:
    void closeEvent(QCloseEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    // Closes every child window; false when one stays open (the user kept its changes).
    bool CerrarVentanas();
    void anadirHueco(const QString& clave);
    // `tema` is the freedesktop icon name; `reserva` the style's icon when the theme lacks it.
    QAction* anadirBoton(const QString& clave, const QString& texto, const QString& tema, QStyle::StandardPixmap reserva);

    void PedirClaveCertificado();

    QMdiArea* m_area = nullptr;
    std::unique_ptr<verifactu::EnvioAutomatico> m_envio;
    QString m_rutaEnvio;
    verifactu::ConfiguracionEnvio m_confEnvio;
    QString m_clave;  // the certificate's password, this session only
    QString m_certificadoClave;
    bool m_sinCertificado = false;
    QAction* m_accionRegistros = nullptr;
    QTimer* m_relojEnvios = nullptr;
    std::vector<std::pair<QString, QWidget*>> m_botones;
};
