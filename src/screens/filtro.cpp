#include "filtro.h"

#include "autoescrituraqt.h"
#include "campofecha.h"
#include "formato.h"
#include "global.h"
#include "listafilas.h"
#include "utilidades.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

QString TextoFecha(const QDate& fecha) { return Formato(Valor(fecha), QStringLiteral("dd/mm/yyyy")); }

QDateEdit* Fecha(const char* nombre, QWidget* padre)
{
    auto* f = new CampoFecha(QDate::currentDate(), padre);
    f->setObjectName(QString::fromLatin1(nombre));
    return f;
}

template <typename T>
T* Control(const char* nombre, const QString& texto, QWidget* padre)
{
    auto* c = new T(texto, padre);
    c->setObjectName(QString::fromLatin1(nombre));
    return c;
}

}  // namespace

std::optional<ClienteFiltro> ClienteDeCodigo(std::optional<long> codigo)
{
    if (!codigo)
        return std::nullopt;
    ClienteFiltro c{static_cast<qint32>(*codigo), {}};
    Coleccion campos;
    if (Global::BD && Global::BD->ConsultaCliente(c.codigo, campos))
        c.nombre = CampoATexto(campos.valor(QStringLiteral("Nombre")));
    return c;
}

std::optional<QDate> FechaDeFiltro(const QDate& fecha)
{
    return fecha.isValid() ? std::optional<QDate>(fecha) : std::nullopt;
}

QString TextoFiltroCliente(const std::optional<ClienteFiltro>& cliente)
{
    if (!cliente)
        return QStringLiteral("(todos)");
    return NumeroConCeros(cliente->codigo, 6) + QStringLiteral("  ") + cliente->nombre;
}

QString TextoFiltroFechas(const std::optional<QDate>& desde, const std::optional<QDate>& hasta)
{
    if (!desde && !hasta)
        return QStringLiteral("(todas)");
    if (desde && hasta && *desde == *hasta)
        return TextoFecha(*desde);
    QString texto;
    if (desde)
        texto = QStringLiteral("desde ") + TextoFecha(*desde);
    if (hasta)
        AnadirALista(texto, QStringLiteral(" "), QStringLiteral("hasta ") + TextoFecha(*hasta));
    return texto;
}

DialogoFiltro::DialogoFiltro(QWidget* padre) : QDialog(padre)
{
    setObjectName(QStringLiteral("Filtro"));
    setWindowTitle(QStringLiteral("Filtro"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* fechas = new QGroupBox(QStringLiteral("Fechas"), this);
    m_opTodas = Control<QRadioButton>("opTodas", QStringLiteral("Todas"), fechas);
    m_opUndia = Control<QRadioButton>("opUndia", QStringLiteral("Un día"), fechas);
    m_opIntervalo = Control<QRadioButton>("opIntervalo", QStringLiteral("Intervalo"), fechas);
    m_frUndia = new QWidget(fechas);
    m_fchUndia = Fecha("fchUndia", m_frUndia);
    (new QHBoxLayout(m_frUndia))->addWidget(m_fchUndia);
    m_frIntervalo = new QWidget(fechas);
    m_chDes = Control<QCheckBox>("chDes", QStringLiteral("Desde"), m_frIntervalo);
    m_chHas = Control<QCheckBox>("chHas", QStringLiteral("Hasta"), m_frIntervalo);
    m_fchDes = Fecha("fchDes", m_frIntervalo);
    m_fchHas = Fecha("fchHas", m_frIntervalo);
    auto* intervalo = new QVBoxLayout(m_frIntervalo);
    for (auto [ch, fch] : {std::pair{m_chDes, m_fchDes}, std::pair{m_chHas, m_fchHas}}) {
        auto* fila = new QHBoxLayout;
        fila->addWidget(ch);
        fila->addWidget(fch);
        fila->addStretch();
        intervalo->addLayout(fila);
    }
    auto* capaFechas = new QVBoxLayout(fechas);
    for (QWidget* w : std::initializer_list<QWidget*>{m_opTodas, m_opUndia, m_frUndia, m_opIntervalo, m_frIntervalo})
        capaFechas->addWidget(w);

    auto* clientes = new QGroupBox(QStringLiteral("Clientes"), this);
    m_opTodos = Control<QRadioButton>("opTodos", QStringLiteral("Todos"), clientes);
    m_opUnCli = Control<QRadioButton>("opUnCli", QStringLiteral("Un cliente"), clientes);
    m_frCliente = new QWidget(clientes);
    m_txNom = new QLineEdit(m_frCliente);
    m_txNom->setObjectName(QStringLiteral("txNom"));
    // A usual customer's name shows whole.
    m_txNom->setMinimumWidth(m_txNom->fontMetrics().horizontalAdvance(QString::fromUtf8(ListaFilas::kNombreLargo)) + 16);
    m_lbcod = new QLabel(m_frCliente);
    m_lbcod->setObjectName(QStringLiteral("lbcod"));
    m_lbcod->hide();
    (new QHBoxLayout(m_frCliente))->addWidget(m_txNom);
    auto* capaClientes = new QVBoxLayout(clientes);
    for (QWidget* w : std::initializer_list<QWidget*>{m_opTodos, m_opUnCli, m_frCliente})
        capaClientes->addWidget(w);
    capaClientes->addStretch();

    m_frSerie = new QGroupBox(this);
    m_frSerie->setObjectName(QStringLiteral("frSerie"));
    m_txSerie = new QLineEdit(m_frSerie);
    m_txSerie->setObjectName(QStringLiteral("txSerie"));
    m_txSerie->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,5}")), m_txSerie));
    auto* capaSerie = new QHBoxLayout(m_frSerie);
    auto* lbSerie = new QLabel(QStringLiteral("Serie:"), m_frSerie);
    lbSerie->setBuddy(m_txSerie);
    capaSerie->addWidget(lbSerie);
    capaSerie->addWidget(m_txSerie);
    capaSerie->addStretch();

    auto* acepta = Control<QPushButton>("Acepta", QStringLiteral("Confirmar y guardar"), this);
    auto* cancela = Control<QPushButton>("Cancela", QStringLiteral("Cancelar edición"), this);
    // Enter accepts from any field (Escape cancels, as in every dialog).
    acepta->setDefault(true);
    auto* botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(acepta);
    botones->addWidget(cancela);

    auto* grupos = new QHBoxLayout;
    grupos->addWidget(fechas);
    grupos->addWidget(clientes);
    auto* capa = new QVBoxLayout(this);
    capa->addLayout(grupos);
    capa->addWidget(m_frSerie);
    capa->addLayout(botones);

    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{m_opTodas, m_opUndia, m_opIntervalo, m_chDes, m_chHas,
                                                                       m_opTodos, m_opUnCli})
        connect(b, &QAbstractButton::toggled, this, &DialogoFiltro::Mostrar);
    connect(m_txNom, &QLineEdit::textEdited, this, &DialogoFiltro::Autoescribir);
    connect(acepta, &QPushButton::clicked, this, &DialogoFiltro::Acepta);
    connect(cancela, &QPushButton::clicked, this, &QDialog::reject);

    if (Global::BD)
        m_autoescritura = Global::BD->IniciarServicioAutoescritura(0);
    m_opTodas->setChecked(true);
    m_opTodos->setChecked(true);
    Mostrar();
}

DialogoFiltro::~DialogoFiltro()
{
    if (m_autoescritura && Global::BD)
        Global::BD->TerminarServicioAutoescritura(0);
}

void DialogoFiltro::Autoescribir()
{
    if (Global::BD)
        ::Autoescribir(*Global::BD, 0, m_largo, m_lbcod, m_txNom);
}

// Only the chosen option's controls show; an interval's picker only while it is checked.
void DialogoFiltro::Mostrar()
{
    m_frUndia->setVisible(m_opUndia->isChecked());
    m_frIntervalo->setVisible(m_opIntervalo->isChecked());
    m_fchDes->setVisible(m_chDes->isChecked());
    m_fchHas->setVisible(m_chHas->isChecked());
    m_frCliente->setVisible(m_opUnCli->isChecked());
}

void DialogoFiltro::Acepta()
{
    if (m_opUnCli->isChecked() && !EsNumerico(m_lbcod->text()))
        return;
    accept();
}

bool DialogoFiltro::Editar(FiltroLista& filtro, const QString& titulo, std::optional<qint16>* serie)
{
    if (!titulo.isEmpty())
        setWindowTitle(titulo);
    if (filtro.cliente) {
        m_opUnCli->setChecked(true);
        m_lbcod->setText(NumeroConCeros(filtro.cliente->codigo, 6));
        QString nombre = Global::BD ? Global::BD->NombreCliente(filtro.cliente->codigo) : QString();
        m_txNom->setText(nombre.isEmpty() ? filtro.cliente->nombre : nombre);
    } else {
        m_opTodos->setChecked(true);
    }
    m_chDes->setChecked(filtro.desde.has_value());
    m_chHas->setChecked(filtro.hasta.has_value());
    if (!filtro.desde && !filtro.hasta) {
        m_opTodas->setChecked(true);
    } else if (filtro.desde == filtro.hasta) {
        m_opUndia->setChecked(true);
        m_fchUndia->setDate(*filtro.desde);
    } else {
        m_opIntervalo->setChecked(true);
        m_fchDes->setDate(filtro.desde.value_or(filtro.hasta.value_or(QDate())));
        m_fchHas->setDate(filtro.hasta.value_or(filtro.desde.value_or(QDate())));
    }
    m_frSerie->setVisible(serie != nullptr);
    if (serie)
        m_txSerie->setText(serie->has_value() ? QString::number(**serie) : QString());
    Mostrar();
    m_largo = static_cast<qint16>(m_txNom->text().size());

    if (exec() != QDialog::Accepted)
        return false;
    if (m_opTodos->isChecked())
        filtro.cliente.reset();
    else
        filtro.cliente = ClienteFiltro{static_cast<qint32>(Val(m_lbcod->text())), m_txNom->text()};
    if (m_opTodas->isChecked()) {
        filtro.desde.reset();
        filtro.hasta.reset();
    } else if (m_opUndia->isChecked()) {
        filtro.desde = filtro.hasta = m_fchUndia->date();
    } else {
        filtro.desde = m_chDes->isChecked() ? std::optional<QDate>(m_fchDes->date()) : std::nullopt;
        filtro.hasta = m_chHas->isChecked() ? std::optional<QDate>(m_fchHas->date()) : std::nullopt;
    }
    if (serie)
        *serie = AEntero16(Val(m_txSerie->text()));
    return true;
}
