#pragma once

#include <QDate>
#include <QDialog>

#include <optional>

class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

// The customer a browser lists: code and name.
struct ClienteFiltro {
    qint32 codigo = 0;
    QString nombre;
    bool operator==(const ClienteFiltro&) const = default;
};

// What a browser lists: one customer or all, and a period open on either side.
struct FiltroLista {
    std::optional<ClienteFiltro> cliente;
    std::optional<QDate> desde;
    std::optional<QDate> hasta;
    bool operator==(const FiltroLista&) const = default;
};

// A customer filter for a code, named as the customer file has it; none for no code.
std::optional<ClienteFiltro> ClienteDeCodigo(std::optional<long> codigo);
// An invalid date leaves the period open on that side.
std::optional<QDate> FechaDeFiltro(const QDate& fecha);

// "Fechas:" and "Cliente:" as the browsers show their filter.
QString TextoFiltroCliente(const std::optional<ClienteFiltro>& cliente);
QString TextoFiltroFechas(const std::optional<QDate>& desde, const std::optional<QDate>& hasta);

// "Filtro", the modal dialog in which the user sets a browser's filter (and, for invoices, the
// series). The class has a longer name: the store's list filters are already called Filtro.
class DialogoFiltro : public QDialog {
    Q_OBJECT
public:
    explicit DialogoFiltro(QWidget* padre = nullptr);
    ~DialogoFiltro() override;

    // Shows `filtro` (and the series when one is passed; without it the series frame is
    // hidden). True when the user accepted; only then are `filtro` and `serie` changed.
    bool Editar(FiltroLista& filtro, const QString& titulo = {}, std::optional<qint16>* serie = nullptr);

private:
    void Mostrar();
    void Acepta();
    void Autoescribir();

    QRadioButton* m_opTodas = nullptr;
    QRadioButton* m_opUndia = nullptr;
    QRadioButton* m_opIntervalo = nullptr;
    QWidget* m_frUndia = nullptr;
    QWidget* m_frIntervalo = nullptr;
    QDateEdit* m_fchUndia = nullptr;
    QCheckBox* m_chDes = nullptr;
    QCheckBox* m_chHas = nullptr;
    QDateEdit* m_fchDes = nullptr;
    QDateEdit* m_fchHas = nullptr;
    QRadioButton* m_opTodos = nullptr;
    QRadioButton* m_opUnCli = nullptr;
    QWidget* m_frCliente = nullptr;
    QLineEdit* m_txNom = nullptr;
    QLabel* m_lbcod = nullptr;
    QGroupBox* m_frSerie = nullptr;
    QLineEdit* m_txSerie = nullptr;
    qint16 m_largo = 0;
    bool m_autoescritura = false;
};
