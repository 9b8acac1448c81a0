#include "registrosverifactu.h"

#include "basedatos.h"
#include "dinero.h"
#include "formato.h"
#include "global.h"
#include "verifactu.h"
#include "ventanas.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

ModeloRegistros::ModeloRegistros(QObject* padre) : QAbstractTableModel(padre) {}

void ModeloRegistros::Cargar(std::vector<verifactu::FilaRegistro> filas)
{
    beginResetModel();
    m_filas = std::move(filas);
    m_visibles.clear();
    endResetModel();
    Filtrar(m_filtro);
}

void ModeloRegistros::Filtrar(Filtro filtro)
{
    beginResetModel();
    m_filtro = filtro;
    m_visibles.clear();
    if (filtro != Filtro::Todos) {
        for (size_t i = 0; i < m_filas.size(); ++i) {
            const verifactu::FilaRegistro& f = m_filas[i];
            const bool pendiente = f.estado == QLatin1String("Pendiente");
            const bool conErrores = !f.subsanado && (f.estado == QLatin1String("Incorrecto") || f.estado == QLatin1String("AceptadoConErrores"));
            if ((filtro == Filtro::Pendientes && pendiente) || (filtro == Filtro::ConErrores && conErrores))
                m_visibles.push_back(static_cast<int>(i));
        }
    }
    endResetModel();
}

const verifactu::FilaRegistro* ModeloRegistros::Fila(int fila) const
{
    if (fila < 0 || fila >= rowCount())
        return nullptr;
    return &m_filas[static_cast<size_t>(m_filtro == Filtro::Todos ? fila : m_visibles[static_cast<size_t>(fila)])];
}

int ModeloRegistros::rowCount(const QModelIndex& padre) const
{
    if (padre.isValid())
        return 0;
    return static_cast<int>(m_filtro == Filtro::Todos ? m_filas.size() : m_visibles.size());
}

int ModeloRegistros::columnCount(const QModelIndex& padre) const
{
    return padre.isValid() ? 0 : kColumnas;
}

QString ModeloRegistros::TextoEstado(const verifactu::FilaRegistro& f)
{
    QString texto;
    if (f.estado == QLatin1String("Pendiente"))
        texto = f.incidencia ? QStringLiteral("Pendiente (con incidencia)") : QStringLiteral("Pendiente");
    else if (f.estado == QLatin1String("Correcto"))
        texto = QStringLiteral("Aceptado");
    else if (f.estado == QLatin1String("AceptadoConErrores"))
        texto = QStringLiteral("Aceptado con errores");
    else if (f.estado == QLatin1String("Incorrecto"))
        texto = QStringLiteral("Rechazado");
    else
        texto = f.estado;
    if (f.subsanado)
        texto += QStringLiteral(", subsanado");
    return texto;
}

QVariant ModeloRegistros::data(const QModelIndex& indice, int rol) const
{
    const verifactu::FilaRegistro* f = Fila(indice.row());
    if (!f)
        return {};
    if (rol == Qt::TextAlignmentRole)
        return indice.column() == colOrden || indice.column() == colImporte ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    if (rol != Qt::DisplayRole && rol != Qt::ToolTipRole)
        return {};
    switch (indice.column()) {
    case colOrden:
        return f->orden;
    case colFactura:
        return f->NumSerieFactura;
    case colFecha:
        return QString(f->FechaExpedicionFactura).replace(QLatin1Char('-'), QLatin1Char('/'));
    case colTipo:
        if (f->anulacion)
            return f->subsanacion ? QStringLiteral("Anulación (tras rechazo)") : QStringLiteral("Anulación");
        return f->subsanacion ? QStringLiteral("Alta %1 (subsanación)").arg(f->TipoFactura) : QStringLiteral("Alta %1").arg(f->TipoFactura);
    case colImporte:
        return f->anulacion ? QString() : Formato(AEuros(f->importeTotal), kFormatoMoneda);
    case colGenerado:
        return QDateTime::fromString(f->FechaHoraHusoGenRegistro, Qt::ISODate).toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    case colEstado:
        return TextoEstado(*f);
    case colRespuesta:
        return f->codigo.isEmpty() ? f->descripcion : f->codigo + QStringLiteral(": ") + f->descripcion;
    case colCSV:
        return f->csv;
    default:
        return {};
    }
}

QVariant ModeloRegistros::headerData(int seccion, Qt::Orientation orientacion, int rol) const
{
    if (orientacion != Qt::Horizontal || rol != Qt::DisplayRole)
        return {};
    static const char* const kTitulos[] = {"Nº", "Factura", "Fecha", "Tipo", "Importe", "Generado", "Estado", "Respuesta de la Agencia", "CSV"};
    return seccion >= 0 && seccion < kColumnas ? QString::fromUtf8(kTitulos[seccion]) : QVariant();
}

RegistrosVerifactu::RegistrosVerifactu(BaseDatos& bd, std::function<void()> despertar, QWidget* padre)
    : QWidget(padre), m_bd(bd), m_despertar(std::move(despertar))
{
    setObjectName(QStringLiteral("RegistrosVerifactu"));
    setWindowTitle(QStringLiteral("Registros VERI*FACTU"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_modelo = new ModeloRegistros(this);
    grRegistros = new QTableView(this);
    grRegistros->setObjectName(QStringLiteral("grRegistros"));
    grRegistros->setModel(m_modelo);
    grRegistros->setSelectionBehavior(QAbstractItemView::SelectRows);
    grRegistros->setSelectionMode(QAbstractItemView::SingleSelection);
    grRegistros->verticalHeader()->hide();
    // Fixed row heights: the view never measures 100,000 rows.
    grRegistros->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grRegistros->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    grRegistros->horizontalHeader()->setStretchLastSection(false);
    const int anchos[] = {55, 85, 80, 130, 75, 145, 140, 300, 140};
    for (int c = 0; c < ModeloRegistros::kColumnas; ++c)
        grRegistros->setColumnWidth(c, anchos[c]);

    chPendientes = new QCheckBox(QStringLiteral("Pendientes"), this);
    chPendientes->setObjectName(QStringLiteral("chPendientes"));
    chErrores = new QCheckBox(QStringLiteral("Con errores"), this);
    chErrores->setObjectName(QStringLiteral("chErrores"));
    cmdActualizar = new QPushButton(QStringLiteral("Actualizar"), this);
    cmdActualizar->setObjectName(QStringLiteral("cmdActualizar"));
    cmdReenviar = new QPushButton(QStringLiteral("Reenviar"), this);
    cmdReenviar->setObjectName(QStringLiteral("cmdReenviar"));
    cmdVerificar = new QPushButton(QStringLiteral("Verificar cadena"), this);
    cmdVerificar->setObjectName(QStringLiteral("cmdVerificar"));
    cmdExportar = new QPushButton(QStringLiteral("Exportar"), this);
    cmdExportar->setObjectName(QStringLiteral("cmdExportar"));
    txDesde = new QDateEdit(QDate(QDate::currentDate().year(), 1, 1), this);
    txDesde->setObjectName(QStringLiteral("txDesde"));
    txHasta = new QDateEdit(QDate::currentDate(), this);
    txHasta->setObjectName(QStringLiteral("txHasta"));
    for (QDateEdit* d : {txDesde, txHasta}) {
        d->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
        d->setCalendarPopup(true);
    }
    lbResumen = new QLabel(this);
    lbResumen->setObjectName(QStringLiteral("lbResumen"));
    lbResumen->setWordWrap(true);

    auto* filtros = new QHBoxLayout;
    filtros->addWidget(chPendientes);
    filtros->addWidget(chErrores);
    filtros->addWidget(cmdActualizar);
    filtros->addStretch();
    filtros->addWidget(cmdReenviar);
    filtros->addWidget(cmdVerificar);
    auto* exportar = new QHBoxLayout;
    exportar->addStretch();
    exportar->addWidget(new QLabel(QStringLiteral("Del"), this));
    exportar->addWidget(txDesde);
    exportar->addWidget(new QLabel(QStringLiteral("al"), this));
    exportar->addWidget(txHasta);
    exportar->addWidget(cmdExportar);
    auto* columna = new QVBoxLayout(this);
    columna->addLayout(filtros);
    columna->addWidget(grRegistros, 1);
    columna->addWidget(lbResumen);
    columna->addLayout(exportar);

    // The two filters are one choice: ticking one unticks the other.
    connect(chPendientes, &QCheckBox::toggled, this, [this](bool si) {
        if (si)
            chErrores->setChecked(false);
        AplicarFiltro();
    });
    connect(chErrores, &QCheckBox::toggled, this, [this](bool si) {
        if (si)
            chPendientes->setChecked(false);
        AplicarFiltro();
    });
    connect(cmdActualizar, &QPushButton::clicked, this, &RegistrosVerifactu::Actualizar);
    connect(cmdReenviar, &QPushButton::clicked, this, &RegistrosVerifactu::Reenviar);
    connect(cmdVerificar, &QPushButton::clicked, this, &RegistrosVerifactu::Verificar);
    connect(cmdExportar, &QPushButton::clicked, this, [this] { Exportar(); });
    Actualizar();
}

RegistrosVerifactu* RegistrosVerifactu::Abrir(std::function<void()> despertar)
{
    static QPointer<RegistrosVerifactu> abierta;
    if (abierta) {
        MostrarVentana(abierta);
        return abierta;
    }
    if (!Global::BD)
        return nullptr;
    abierta = new RegistrosVerifactu(*Global::BD, std::move(despertar));
    MostrarVentana(abierta);
    if (QWidget* marco = abierta->parentWidget(); marco && !marco->isWindow())
        marco->resize(900, 520);
    else
        abierta->resize(900, 520);
    RestaurarVentana(abierta);
    return abierta;
}

void RegistrosVerifactu::closeEvent(QCloseEvent* evento)
{
    GuardarVentana(this);
    QWidget::closeEvent(evento);
}

void RegistrosVerifactu::AplicarFiltro()
{
    m_modelo->Filtrar(chPendientes->isChecked() ? ModeloRegistros::Filtro::Pendientes
                      : chErrores->isChecked()  ? ModeloRegistros::Filtro::ConErrores
                                                : ModeloRegistros::Filtro::Todos);
}

void RegistrosVerifactu::Actualizar()
{
    try {
        m_modelo->Cargar(m_bd.ListaRegistros());
        const verifactu::EstadoEnvios e = m_bd.LeerEstadoEnvios();
        QString resumen = QStringLiteral("Pendientes: %1. Rechazados: %2. Aceptados con errores: %3.")
                              .arg(e.pendientes)
                              .arg(e.rechazados)
                              .arg(e.conErrores);
        if (e.pendientes > 0 && !e.motivo.isEmpty())
            resumen += QLatin1Char(' ') + e.motivo;
        lbResumen->setText(resumen);
    } catch (const motor::Error& e) {
        MensajeSobreRejilla(grRegistros, QStringLiteral("No se pueden leer los registros: %1").arg(motor::TextoParaUsuario(e)),
                            QMessageBox::Ok, QMessageBox::Warning, windowTitle());
    }
}

void RegistrosVerifactu::Reenviar()
{
    const verifactu::FilaRegistro* f = m_modelo->Fila(grRegistros->currentIndex().row());
    if (!f) {
        MensajeSobreRejilla(grRegistros, QStringLiteral("Elija primero el registro que quiere reenviar."), QMessageBox::Ok,
                            QMessageBox::Information, windowTitle());
        return;
    }
    const qint64 orden = f->orden;
    const QString factura = f->NumSerieFactura;
    if (f->estado == QLatin1String("Pendiente")) {
        if (m_despertar)
            m_despertar();
        MensajeSobreRejilla(grRegistros,
                            QStringLiteral("El registro %1 está pendiente: se enviará con los demás en cuanto la Agencia Tributaria "
                                           "lo permita.")
                                .arg(orden),
                            QMessageBox::Ok, QMessageBox::Information, windowTitle());
        return;
    }
    // The agency's rules: what it accepted with errors or rejected goes again as a correction,
    // from the invoice as it is now (the shop has mended the cause meanwhile).
    QString motivo;
    if (!verifactu::Subsanar(m_bd, orden, QDateTime::currentDateTime(), motivo)) {
        MensajeSobreRejilla(grRegistros, motivo, QMessageBox::Ok, QMessageBox::Information, windowTitle());
        return;
    }
    if (m_despertar)
        m_despertar();
    Actualizar();
    MensajeSobreRejilla(grRegistros,
                        QStringLiteral("Se ha generado un registro de subsanación de la factura %1; se enviará a la Agencia Tributaria "
                                       "con los pendientes.")
                            .arg(factura),
                        QMessageBox::Ok, QMessageBox::Information, windowTitle());
}

void RegistrosVerifactu::Verificar()
{
    QStringList faltas;
    try {
        faltas = verifactu::VerificarRegistros(m_bd);
    } catch (const motor::Error& e) {
        faltas << motor::TextoParaUsuario(e);
    }
    QMessageBox caja(faltas.isEmpty() ? QMessageBox::Information : QMessageBox::Warning, windowTitle(),
                     faltas.isEmpty() ? QStringLiteral("La cadena de registros está íntegra y cada registro corresponde a su factura.")
                                      : QStringLiteral("La cadena de registros NO está íntegra: %1 fallos.").arg(faltas.size()),
                     QMessageBox::Ok, this);
    caja.setObjectName(QStringLiteral("msgVerificar"));
    if (!faltas.isEmpty())
        caja.setDetailedText(faltas.join(QLatin1Char('\n')));
    caja.exec();
}

void RegistrosVerifactu::Exportar(QString archivo)
{
    if (archivo.isEmpty())
        archivo = QFileDialog::getSaveFileName(this, QStringLiteral("Exportar registros"), QStringLiteral("registros.xml"),
                                               QStringLiteral("XML (*.xml)"));
    if (archivo.isEmpty())
        return;
    QString motivo;
    if (!verifactu::ExportarRegistros(m_bd, txDesde->date(), txHasta->date(), archivo, motivo)) {
        MensajeSobreRejilla(grRegistros, motivo, QMessageBox::Ok, QMessageBox::Warning, windowTitle());
        return;
    }
    MensajeSobreRejilla(grRegistros,
                        QStringLiteral("Registros del %1 al %2 escritos en %3.")
                            .arg(txDesde->date().toString(QStringLiteral("dd/MM/yyyy")), txHasta->date().toString(QStringLiteral("dd/MM/yyyy")),
                                 archivo),
                        QMessageBox::Ok, QMessageBox::Information, windowTitle());
}
