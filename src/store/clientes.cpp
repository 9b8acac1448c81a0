// Customers, articles and stock movements, and the name completion service.

#include "basedatos.h"

#include "global.h"
#include "ordennombres.h"
#include "utilidades.h"

namespace {

const QStringList kOrdenesClientes{QStringLiteral("Codigo"), QStringLiteral("Nombre"), QStringLiteral("NIF")};

// The column a list is ordered by. The order comes from the screens: only known column names
// ever reach the SQL.
QString ColumnaDeOrden(const QString& orden)
{
    for (const QString& c : kOrdenesClientes)
        if (c.compare(orden.trimmed(), Qt::CaseInsensitive) == 0)
            return c;
    throw motor::Error(motor::ErrGeneral, 0, QStringLiteral("Orden de la lista de clientes no admitido: %1").arg(orden));
}

// Customer codes start at 1: documents take 0 and below as no customer at all.
void ComprobarCodigo(const Coleccion& campos)
{
    if (campos.contiene(QStringLiteral("Codigo")) && campos.valor(QStringLiteral("Codigo")).aNumero() < 1)
        throw motor::Error(motor::ErrReglaValidacion, 0,
                           QStringLiteral("El código del cliente debe ser un número mayor que 0. Cámbielo y vuelva a guardar."));
}

}  // namespace

QString BaseDatos::TextoSQL(const Valor& v)
{
    switch (v.tipo()) {
    case Valor::Tipo::Nulo: return QStringLiteral("null");
    case Valor::Tipo::Fecha: return FechaASQL(v.aFecha());
    case Valor::Tipo::FechaHora: return FechaASQL(v.aFechaHora());
    case Valor::Tipo::Texto:
        // A NUL would end the statement's text early in the engine: refuse it before anything.
        if (v.aTexto().contains(QChar(0)))
            throw motor::Error(motor::ErrReglaValidacion, 0,
                               QStringLiteral("Un texto contiene un carácter nulo, que no se puede guardar. "
                                              "Bórrelo (o vuelva a escribir el texto) e inténtelo de nuevo."));
        return motor::CitarTexto(v.aTexto());
    case Valor::Tipo::Booleano: return v.aBooleano() ? QStringLiteral("True") : QStringLiteral("False");
    case Valor::Tipo::Numero: return NumeroSQL(v);
    default: return QString::number(v.aEntero());
    }
}

QString BaseDatos::CadenaInsert(const Coleccion& campos, QString& valores, const QString& tabla)
{
    QString columnas;
    valores.clear();
    for (const motor::DefCampo& c : m_bd->campos(tabla)) {
        if (!campos.contiene(c.nombre))
            continue;
        AnadirALista(columnas, QStringLiteral(","), c.nombre);
        AnadirALista(valores, QStringLiteral(","), TextoSQL(campos.valor(c.nombre)));
    }
    return columnas;
}

QString BaseDatos::CadenaUpdate(const Coleccion& campos, const QString& tabla)
{
    QString pares;
    for (const motor::DefCampo& c : m_bd->campos(tabla))
        if (campos.contiene(c.nombre))
            AnadirALista(pares, QStringLiteral(","), c.nombre + QLatin1Char('=') + TextoSQL(campos.valor(c.nombre)));
    return pares;
}

qint32 BaseDatos::NuevoCodCli()
{
    if (!Abierta())
        return 0;
    return Siguiente(m_bd->valorUnico(NombresLargos(QStringLiteral("select max(Codigo) from TbCliente"))),
                     QStringLiteral("códigos de cliente"));
}

std::vector<FilaCliente> BaseDatos::ListaClientes(const QString& orden)
{
    std::vector<FilaCliente> filas;
    if (!Abierta())
        return filas;
    const QString columna = ColumnaDeOrden(orden);
    if (columna == QLatin1String("Nombre")) {
        // Spanish order on the names' own index: ÁLVAREZ among the A, MUÑOZ after MUNOZ.
        motor::BaseDeDatos::Sentencia& s = m_bd->preparar(
            QStringLiteral("SELECT Codigo, Nombre, NIF FROM Cliente ORDER BY %1, Nombre, Codigo")
                .arg(ordennombres::ExpresionClave(QStringLiteral("Nombre"), m_bd->esPostgreSQL())));
        s.vincular({});
        while (s.paso())
            AnadirAVector(filas, FilaCliente{s.columna(0), s.columna(1), s.columna(2)});
        s.reiniciar();
        return filas;
    }
    // Equal NIFs by code, as the list's pages come.
    motor::Recordset rs = m_bd->abrirRecordset(NombresLargos(QStringLiteral("select * from TbCliente order by ")) + columna
                                               + (columna == QLatin1String("NIF") ? QStringLiteral(", Codigo") : QString()));
    for (; !rs.eof(); rs.moveNext())
        AnadirAVector(filas, FilaCliente{rs[QStringLiteral("Codigo")], rs[QStringLiteral("nombre")], rs[QStringLiteral("NIF")]});
    return filas;
}

namespace {

// "After this row" in an order whose columns may hold nulls (first on SQLite, last on
// PostgreSQL, each engine's own order): the rows equal on the columns before one and greater on
// it. The first column also bounds the range plainly, so that the order's index starts there
// instead of at the top. With nulls last that bound leaves out the rows whose first column is
// null, which all come after a row where it is not: the caller asks for them apart (a bound
// "or null" is no range, and the server would scan the index from its top on every page).
QString DespuesDe(const QStringList& columnas, const std::vector<Valor>& clave, std::vector<Valor>& parametros, bool nulosAlFinal)
{
    QString mayor;
    for (int i = static_cast<int>(columnas.size()) - 1; i >= 0; --i) {
        const QString& c = columnas[i];
        const Valor& v = clave[static_cast<size_t>(i)];
        QString gt, eq;
        if (v.esNulo()) {
            gt = nulosAlFinal ? QStringLiteral("1 = 0") : c + QStringLiteral(" IS NOT NULL");
            eq = c + QStringLiteral(" IS NULL");
        } else {
            gt = nulosAlFinal ? QStringLiteral("(%1 > ? OR %1 IS NULL)").arg(c) : c + QStringLiteral(" > ?");
            eq = c + QStringLiteral(" = ?");
        }
        mayor = mayor.isEmpty() ? gt : QStringLiteral("(%1 OR (%2 AND (%3)))").arg(gt, eq, mayor);
    }
    // Bound in the order the marks appear: the plain bound, then gt and eq per column outwards in.
    std::vector<Valor> enOrden;
    const Valor& primero = clave.front();
    QString donde = mayor;
    if (!primero.esNulo()) {
        donde = columnas.front() + QStringLiteral(" >= ? AND ") + mayor;
        enOrden.push_back(primero);
    }
    for (size_t i = 0; i < clave.size(); ++i) {
        if (clave[i].esNulo())
            continue;
        enOrden.push_back(clave[i]);                // gt
        if (i + 1 < clave.size())
            enOrden.push_back(clave[i]);            // eq
    }
    parametros.insert(parametros.end(), enOrden.begin(), enOrden.end());
    return donde;
}

}  // namespace

PaginaLista<FilaCliente, std::vector<Valor>> BaseDatos::PaginaClientes(const QString& orden, const std::optional<std::vector<Valor>>& despuesDe,
                                                                      int limite)
{
    PaginaLista<FilaCliente, std::vector<Valor>> pagina;
    if (!Abierta())
        return pagina;
    const QString columna = ColumnaDeOrden(orden);
    // The list's order, down to the row: the code or the NIF, or the name's Spanish key, then
    // the name, the code and the row itself, so that a page starts exactly after the last row.
    QStringList claves;
    if (columna == QLatin1String("Nombre"))
        claves << ordennombres::ExpresionClave(QStringLiteral("Nombre"), m_bd->esPostgreSQL()) << QStringLiteral("Nombre");
    else if (columna == QLatin1String("NIF"))
        claves << QStringLiteral("NIF");
    claves << QStringLiteral("Codigo");
    claves << QStringLiteral("rowid");
    const QString columnas = claves.join(QStringLiteral(", "));
    const int cuantas = std::max(limite, 1);
    std::vector<Valor> ultima;
    pagina.filas.reserve(static_cast<size_t>(cuantas));
    // Up to the page's end, the rows of `donde` in the list's order.
    auto leer = [&](const QString& donde, std::vector<Valor> parametros) {
        QString sql = QStringLiteral("SELECT Codigo, Nombre, NIF, ") + columnas + QStringLiteral(" FROM Cliente ");
        if (!donde.isEmpty())
            sql += QStringLiteral("WHERE ") + donde;
        sql += QStringLiteral(" ORDER BY ") + columnas + QStringLiteral(" LIMIT ?");
        parametros.emplace_back(static_cast<qint64>(cuantas - static_cast<int>(pagina.filas.size())));
        motor::BaseDeDatos::Sentencia& s = m_bd->preparar(sql);
        s.vincular(parametros);
        while (s.paso()) {
            pagina.filas.push_back(FilaCliente{s.columna(0), s.columna(1), s.columna(2)});
            if (static_cast<int>(pagina.filas.size()) == cuantas) {
                ultima.clear();
                for (int i = 0; i < claves.size(); ++i)
                    ultima.push_back(s.columna(3 + i));
            }
        }
        s.reiniciar();
    };
    const bool nulosAlFinal = m_bd->esPostgreSQL();
    if (despuesDe && despuesDe->size() == static_cast<size_t>(claves.size())) {
        std::vector<Valor> parametros;
        const QString donde = DespuesDe(claves, *despuesDe, parametros, nulosAlFinal);
        leer(donde, std::move(parametros));
        // Then the rows whose first column is null, last in this order.
        if (nulosAlFinal && !despuesDe->front().esNulo() && static_cast<int>(pagina.filas.size()) < cuantas)
            leer(claves.front() + QStringLiteral(" IS NULL"), {});
    } else {
        leer(QString(), {});
    }
    if (!ultima.empty())
        pagina.siguiente = std::move(ultima);
    return pagina;
}

bool BaseDatos::ConsultaCliente(qint32 codigo, Coleccion& campos)
{
    if (!Abierta())
        return false;
    motor::Recordset rs = m_bd->abrirRecordset(NombresLargos(QStringLiteral("select * from TbCliente where Codigo=?")),
                                               {Valor(static_cast<qint64>(codigo))});
    if (rs.eof())
        return false;
    campos = Coleccion();
    for (int i = 0; i < rs.numCampos(); ++i)
        if (rs.nombreCampo(i).compare(QLatin1String("Codigo"), Qt::CaseInsensitive) != 0)
            campos.fijar(rs.nombreCampo(i), rs.campo(i));
    return true;
}

bool BaseDatos::RecargoYDescuentoCliente(qint32 codigo, bool& usaREq, double& descuento)
{
    auto leer = [&]() -> std::optional<std::pair<bool, double>> {
        Coleccion c;
        if (!ConsultaCliente(codigo, c))
            return std::nullopt;
        return std::pair(c.valor(QStringLiteral("UsaREq")).aBooleano(), CampoANumero(c.valor(QStringLiteral("Descuento"))));
    };
    std::optional<std::pair<bool, double>> datos;
    if (m_clientesLote) {
        auto it = m_clientesLote->find(codigo);
        if (it == m_clientesLote->end())
            it = m_clientesLote->emplace(codigo, leer()).first;
        datos = it->second;
    } else {
        datos = leer();
    }
    usaREq = datos && datos->first;
    descuento = datos ? datos->second : 0;
    return datos.has_value();
}

bool BaseDatos::NuevoCliente(qint32 /*codigo*/, const Coleccion& campos)
{
    if (!Abierta())
        return false;
    ComprobarCodigo(campos);
    QString sql = NombresLargos(QStringLiteral("insert into TbCliente (CadenaCampos) Values (CadenaValores)"));
    QString valores;
    const QString columnas = CadenaInsert(campos, valores, QStringLiteral("Cliente"));
    if (columnas.isEmpty())
        return false;
    // Values go in last so that nothing the user typed is replaced afterwards.
    Reemplazar(QStringLiteral("CadenaCampos"), columnas, sql);
    Reemplazar(QStringLiteral("CadenaValores"), valores, sql);
    return m_bd->ejecutar(sql) > 0;
}

bool BaseDatos::ActualizarCliente(qint32 codigo, const Coleccion& campos, const Coleccion* leidos)
{
    if (!Abierta())
        return false;
    ComprobarCodigo(campos);
    const QString pares = CadenaUpdate(campos, QStringLiteral("Cliente"));
    if (pares.isEmpty())
        return false;
    QString sql = NombresLargos(QStringLiteral("update TbCliente set CadenaCampos where Codigo=")) + LargoATexto(codigo);
    Reemplazar(QStringLiteral("CadenaCampos"), pares, sql);
    motor::BaseDeDatos::Transaccion t(*m_bd);
    if (leidos) {
        // Checked under the write lock, so no station can slip a change in between.
        Coleccion ahora;
        if (!ConsultaCliente(codigo, ahora))
            throw motor::Error(motor::ErrGeneral, 0,
                               QStringLiteral("Otro puesto ha eliminado el cliente %1 después de que usted lo abriera; "
                                              "sus cambios no se han guardado. Cierre la ficha sin guardar.")
                                   .arg(codigo));
        if (ahora.elementos() != leidos->elementos())
            throw motor::Error(motor::ErrGeneral, 0,
                               QStringLiteral("Otro puesto ha cambiado el cliente %1 después de que usted lo abriera; "
                                              "sus cambios no se han guardado para no borrar los del otro puesto. "
                                              "Cierre la ficha sin guardar, vuelva a abrirla y repita los cambios.")
                                   .arg(codigo));
    }
    const bool hecho = m_bd->ejecutar(sql) > 0;
    t.commit();
    return hecho;
}

bool BaseDatos::EliminarCliente(qint32 codigo)
{
    if (!Abierta())
        return false;
    return m_bd->ejecutar(NombresLargos(QStringLiteral("delete from TbCliente where Codigo=")) + LargoATexto(codigo)) > 0;
}

QString BaseDatos::NombreCliente(qint32 codigo)
{
    if (!Abierta() || !m_servicios[0].rs)
        return {};
    motor::Recordset& rs = *m_servicios[0].rs;
    rs.setIndex(QStringLiteral("Codigo"));
    rs.seek(QStringLiteral("="), {Valor(static_cast<qint64>(codigo))});
    return rs.noMatch() ? QString() : CampoATexto(rs[QStringLiteral("nombre")]);
}

void BaseDatos::DatosArticulo(qint32 codigo, QString& nombre, qint16& depto, qint16& cada, qint32& precio)
{
    nombre.clear();
    cada = 0;
    precio = 0;
    if (!Abierta() || codigo < 1)
        return;
    // A batch's articles come from memory (RecordarParaLote), one trip to the server each at most.
    const bool recordar = m_articulos && m_articulos->seccion == Global::Seccion && m_articulos->columnaPrecio == ColumnaPrecio();
    if (recordar) {
        const auto it = m_articulos->porCodigo.find(codigo);
        if (it != m_articulos->porCodigo.end()) {
            if (!it->second.nombre.isEmpty()) {
                nombre = it->second.nombre;
                depto = it->second.depto;
                cada = it->second.cada;
                precio = it->second.precio;
            }
            return;
        }
    }
    // Section and code are bound, not written in: one prepared statement serves every article
    // of a long note. Kept only once read: a read that fails is tried again next time.
    const QString sql = QStringLiteral("select NOMPLU, CADA, %1 as precio, DEPTO from PLUSES where (SECCION=?) and (CODPLU=?)")
                            .arg(ColumnaPrecio());
    motor::Recordset rs = m_bd->abrirRecordset(sql, {Valor(static_cast<qint64>(Global::Seccion)), Valor(static_cast<qint64>(codigo))});
    if (!rs.eof()) {
        nombre = CampoATexto(rs[QStringLiteral("NOMPLU")]);
        depto = CampoAEntero(rs[QStringLiteral("DEPTO")]);
        cada = CampoAEntero(rs[QStringLiteral("Cada")]);
        precio = CampoALargo(rs[QStringLiteral("precio")]);
    }
    if (recordar)
        m_articulos->porCodigo.emplace(codigo, ArticuloRecordado{nombre, depto, cada, precio});
}

QString BaseDatos::ColumnaPrecio() const
{
    return QStringLiteral("PRECIO_") + EnteroATexto(Global::Precio) + EnteroATexto(Global::Tarifa);
}

bool BaseDatos::Stock(qint32 articulo, qint32 cantidad)
{
    if (!Abierta())
        return false;
    // Quantities, warehouse, section and article are bound: one prepared statement serves
    // every movement.
    const QString signo = cantidad >= 0 ? QStringLiteral("+") : QStringLiteral("-");
    const Valor q(cantidad >= 0 ? static_cast<qint64>(cantidad) : -static_cast<qint64>(cantidad));
    const Valor almacen(static_cast<qint64>(Global::Almacen)), seccion(static_cast<qint64>(Global::Seccion)),
        codigo(static_cast<qint64>(articulo));
    long filas = 0;
    if (m_versionAlmacenes) {
        // A null counter would swallow the movement; it counts as 0.
        filas = m_bd->ejecutar(QStringLiteral("update MovsAlm set Venta=iif(isnull(Venta),0,Venta) ") + signo
                                   + QStringLiteral("? where (CODALM=?) and (SECCION=?) and (CODIGO=?) "),
                               {q, almacen, seccion, codigo});
        if (filas == 0) {
            // The first movement of an article in a warehouse makes its row.
            filas = m_bd->ejecutar(QStringLiteral("insert into MovsAlm (CODALM, Seccion, Codigo, Venta) values (?, ?, ?, ?)"),
                                   {almacen, seccion, codigo, Valor(static_cast<qint64>(cantidad))});
        }
    } else {
        filas = m_bd->ejecutar(QStringLiteral("update PLUSES set SALIDA=iif(isnull(SALIDA),0,SALIDA) ") + signo
                                   + QStringLiteral("? where (SECCION=?) and (CODPLU=?) "),
                               {q, seccion, codigo});
    }
    return filas > 0;
}

bool BaseDatos::IniciarServicioAutoescritura(int servicio)
{
    if (!Abierta())
        return false;
    if (servicio != 0 && servicio != 1)
        return true;
    Servicio& s = m_servicios[servicio];
    if (s.usuarios == 0) {
        s.rs = std::make_unique<motor::Recordset>(
            m_bd->abrirRecordset(servicio == 0 ? QStringLiteral("Cliente") : QStringLiteral("PLUSES")));
        s.rs->setIndex(servicio == 0 ? QStringLiteral("Nombre") : QStringLiteral("NOMBRE"));
    }
    Incrementar(s.usuarios);
    return true;
}

bool BaseDatos::TerminarServicioAutoescritura(int servicio)
{
    if (!Abierta())
        return false;
    if (servicio != 0 && servicio != 1)
        return true;
    Servicio& s = m_servicios[servicio];
    if (s.usuarios <= 0)
        return true;  // more ends than starts: nothing left to close
    Decrementar(s.usuarios);
    if (s.usuarios == 0)
        s.rs.reset();
    return true;
}

void BaseDatos::Autoescritura(int servicio, qint16& largo, EtiquetaAutoescritura* etiqueta, CajaAutoescritura* caja)
{
    if (!Abierta() || m_reescribiendo || (servicio != 0 && servicio != 1) || m_servicios[servicio].usuarios == 0 || !caja)
        return;
    auto limpiarEtiqueta = [&] {
        if (etiqueta)
            etiqueta->fijarTexto(QString());
    };
    const QString texto = caja->texto();
    const auto n = static_cast<qint16>(std::min<qsizetype>(texto.size(), 32767));
    if (n <= largo) {
        limpiarEtiqueta();
        largo = n;
        return;
    }
    // The first name in Spanish order that begins with the text, case aside: a seek on the
    // names' key, then along the names of the same key until one has the same accents.
    const bool pg = m_bd->esPostgreSQL();
    const QString clave = ordennombres::Clave(texto, pg);
    const QString expresion = ordennombres::ExpresionClave(servicio == 0 ? QStringLiteral("Nombre") : QStringLiteral("NOMPLU"), pg);
    motor::BaseDeDatos::Sentencia& s = m_bd->preparar(
        servicio == 0 ? QStringLiteral("SELECT Codigo, Nombre FROM Cliente WHERE %1 >= ?1 AND %1 < ?2 ORDER BY %1, Nombre")
                            .arg(expresion)
                      : QStringLiteral("SELECT CODPLU, NOMPLU FROM PLUSES WHERE SECCION = ?3 AND %1 >= ?1 AND %1 < ?2 "
                                       "ORDER BY %1, NOMPLU")
                            .arg(expresion));
    const Valor desde(clave), hasta(ordennombres::FinDePrefijo(clave));
    s.vincular(servicio == 0 ? std::vector<Valor>{desde, hasta}
                             : std::vector<Valor>{desde, hasta, Valor(static_cast<qint64>(Global::Seccion))});
    bool hallado = false;
    QString nombre;
    qint64 codigo = 0;
    while (!hallado && s.paso()) {
        nombre = CampoATexto(s.columna(1));
        hallado = ordennombres::EmpiezaPor(nombre, texto);
        if (hallado)
            codigo = s.columna(0).aEntero();
    }
    s.reiniciar();
    if (hallado) {
        if (etiqueta)
            etiqueta->fijarTexto(NumeroConCeros(codigo, 6));
        m_reescribiendo = true;
        caja->fijarTexto(nombre);
        caja->seleccionar(n, static_cast<int>(nombre.size()) - n);
        m_reescribiendo = false;
    } else {
        limpiarEtiqueta();
    }
    largo = n;
}
