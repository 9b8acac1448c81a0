#pragma once

#include "basedatos.h"

#include <QDialog>

#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

// A surcharge percentage as the user gives it (typed, pasted, either decimal mark): empty text is 0;
// no value when it is not a number from 0 to 100.
std::optional<double> LeerRecargo(const QString& texto);

// The configuration dialog: where KV740 lives, the working group, price level, VAT
// treatment, surcharges per department and the business name. It edits the run-wide
// state directly and writes the settings file only when accepted.
class Configurar : public QDialog {
    Q_OBJECT
public:
    explicit Configurar(QWidget* padre = nullptr);
    ~Configurar() override;

    // Shows the dialog modally (with `titulo` as caption when given, and `motivo` saying what is
    // wrong); true when accepted, which needs a database ready for the program.
    static bool Activar(const QString& titulo = {}, QWidget* padre = nullptr, const QString& motivo = {});

    // Shows in the dialog what is wrong (empty hides it).
    void MostrarMotivo(const QString& motivo);

    // The folder picker; tests replace it.
    static inline std::function<QString(QWidget*, const QString&, const QString&)> elegirCarpeta;
    // The certificate file picker (from the current file); tests replace it.
    static inline std::function<QString(QWidget*, const QString&)> elegirCertificado;

    bool aceptado() const { return m_aceptado; }

    QComboBox* LstGpos = nullptr;
    QLabel* lbHomeDir = nullptr;
    QLabel* lbSecc = nullptr;
    QLabel* lbTarifa = nullptr;
    QLabel* lbAlma = nullptr;
    QPushButton* CambHome = nullptr;
    QTableWidget* grdIvas = nullptr;
    std::array<QLineEdit*, 11> txREq{};  // 1..10
    QRadioButton* opBase = nullptr;
    QRadioButton* opHta1 = nullptr;
    QRadioButton* opHta2 = nullptr;
    QRadioButton* opInclu = nullptr;
    QRadioButton* opDesgl = nullptr;
    QLineEdit* txNombreEmpresa = nullptr;
    // The shop's own data, kept in the database for every station.
    QLineEdit* txComercioNombre = nullptr;
    QLineEdit* txComercioNIF = nullptr;
    QLineEdit* txComercioDireccion = nullptr;
    QLineEdit* txComercioCodPostal = nullptr;
    QLineEdit* txComercioPoblacion = nullptr;
    QLineEdit* txComercioProvincia = nullptr;
    QLineEdit* txComercioTelefono = nullptr;
    // VERI*FACTU, kept in the database for every station.
    QCheckBox* chkVerifactu = nullptr;
    QLabel* lbVerifactu = nullptr;  // what the mode does, or why it stays on
    QLineEdit* txNumeroInstalacion = nullptr;
    QRadioButton* opPruebas = nullptr;
    QRadioButton* opProduccion = nullptr;
    QLineEdit* txCertificado = nullptr;
    QPushButton* cmdCertificado = nullptr;
    QLabel* lbRecargo = nullptr;  // what is wrong with a surcharge box
    QLabel* lbMotivo = nullptr;   // what is wrong with the database
    QLabel* lbProbando = nullptr;  // shown while a database server is being tried
    QPushButton* Acepto = nullptr;
    QPushButton* Cancelo = nullptr;

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void done(int resultado) override;

private:
    void CargarGrupos();
    void MostrarDatos();
    void LstGpos_Click(int indice);
    void Precio_Click();
    void IVA_Click();
    void txREq_Change(int departamento);
    void CambHome_Click();
    void Acepto_Click();
    // Installs the database of the current RutaBaseDatos; false (and the reason shown) when it is not ready.
    bool UsarBaseDatos();
    // Shows (or hides) that a database server is being tried: wait cursor, buttons held.
    void MostrarProbando(bool probando);
    // The database in use still answers when it is on a server; false (and the reason shown) when not.
    bool ServidorResponde();
    // Reads the groups and the working group's data, or shows why it cannot.
    void CargarDeBaseDatos();
    bool RecargosValidos();
    void CargarComercio();
    // Writes the shop's data; false (and the reason shown) when it cannot.
    bool GuardarComercio();
    void CargarVerifactu();
    void chkVerifactu_Click(bool activo);
    void cmdCertificado_Click();
    // The mode as the section shows it, the issuer taken from the shop's data.
    AjustesVerifactu AjustesMostrados() const;
    // Writes the mode when it changed; false (and the reason shown) when it cannot.
    bool GuardarVerifactu();

    std::vector<FilaGrupo> m_grupos;
    bool m_aceptado = false;
    bool m_mostrando = false;
    QString m_nombreComercio;
    bool m_hayRegistros = false;  // the chain has begun: the mode stays on  // as the listing header last followed it
};
