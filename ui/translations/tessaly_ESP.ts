<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>batchui::BatchModel</name>
    <message>
        <source>Device</source>
        <translation>Dispositivo</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Grupo</translation>
    </message>
    <message>
        <source>Group Name</source>
        <translation>Nombre grupo</translation>
    </message>
    <message>
        <source>Levels</source>
        <translation>Niveles</translation>
    </message>
    <message>
        <source>Zoom %1</source>
        <translation>Zoom %1</translation>
    </message>
    <message>
        <source>NumTiles</source>
        <translation>NumTiles</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Versión</translation>
    </message>
    <message>
        <source>DrawOrd</source>
        <translation>DrawOrd</translation>
    </message>
    <message>
        <source>Filename</source>
        <translation>Fichero</translation>
    </message>
    <message>
        <source>ERROR LOADING</source>
        <translation>ERROR AL CARGAR</translation>
    </message>
    <message>
        <source>cannot be read</source>
        <translation>no se puede leer</translation>
    </message>
    <message>
        <source>%1 cannot be read:</source>
        <translation>%1 no se puede leer:</translation>
    </message>
    <message>
        <source>Number of tiles</source>
        <translation>Número de teselas</translation>
    </message>
</context>
<context>
    <name>batchui::BatchPanel</name>
    <message>
        <source>Levels</source>
        <translation>Niveles</translation>
    </message>
    <message>
        <source>Level %1</source>
        <translation>Nivel %1</translation>
    </message>
    <message>
        <source>Split</source>
        <translation>Split</translation>
    </message>
    <message>
        <source>Product ID</source>
        <translation>ID producto</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Grupo</translation>
    </message>
    <message>
        <source>Update to ...</source>
        <translation>Actualizar a ...</translation>
    </message>
    <message>
        <source>DrawOrder</source>
        <translation>DrawOrder</translation>
    </message>
    <message>
        <source>(keep)</source>
        <translation>(mantener)</translation>
    </message>
    <message>
        <source>Fit scales</source>
        <translation>Ajustar escalas</translation>
    </message>
    <message>
        <source>Save: give each level the scale its imagery calls for on the device profile&apos;s units</source>
        <translation>Guardar: da a cada nivel la escala que pide su imagen en los equipos del perfil de dispositivo</translation>
    </message>
</context>
<context>
    <name>batchui::BatchWindow</name>
    <message>
        <source>%1 holds %L2 maps; a unit loads at most %L3.</source>
        <translation>%1 contiene %L2 mapas; un equipo carga como mucho %L3.</translation>
    </message>
    <message>
        <source>%1 more folders hold too many.</source>
        <translation>%1 carpetas más contienen demasiados.</translation>
    </message>
    <message>
        <source>Reading %1</source>
        <translation>Leyendo %1</translation>
    </message>
    <message>
        <source>Saving the checked maps</source>
        <translation>Guardando los mapas marcados</translation>
    </message>
    <message>
        <source>Deleting the checked maps</source>
        <translation>Borrando los mapas marcados</translation>
    </message>
    <message>
        <source>Splitting the checked maps</source>
        <translation>Dividiendo los mapas marcados</translation>
    </message>
    <message>
        <source>Merging the checked maps</source>
        <translation>Uniendo los mapas marcados</translation>
    </message>
    <message>
        <source>Merged OK.</source>
        <translation>Generado OK.</translation>
    </message>
    <message>
        <source>Batch</source>
        <translation>Proceso por lotes</translation>
    </message>
    <message>
        <source>Include subfolders</source>
        <translation>Incluir subcarpetas</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Todos</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Ninguno</translation>
    </message>
    <message>
        <source>Obsoletes</source>
        <translation>Obsoletos</translation>
    </message>
    <message>
        <source>Load Dir</source>
        <translation>Cargar</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Guardar</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Borrar</translation>
    </message>
    <message>
        <source>Delete old files</source>
        <translation>Borrar ficheros previos</translation>
    </message>
    <message>
        <source>Split JNX</source>
        <translation>Dividir JNX</translation>
    </message>
    <message>
        <source>Merge JNX</source>
        <translation>Unir JNX</translation>
    </message>
    <message>
        <source>Coarse to fine</source>
        <translation>De general a detallado</translation>
    </message>
    <message>
        <source>Write the merged levels from the largest scale to the smallest, as most viewers expect; unchecked, they follow the checked maps&apos; order</source>
        <translation>Escribe los niveles unidos de la escala mayor a la menor, como esperan la mayoría de los visores; sin marcar, siguen el orden de los mapas marcados</translation>
    </message>
    <message>
        <source>The folder cannot be read: %1</source>
        <translation>No se puede leer la carpeta %1</translation>
    </message>
    <message>
        <source>Check every row</source>
        <translation>Marcar todas las filas</translation>
    </message>
    <message>
        <source>Uncheck every row</source>
        <translation>Desmarcar todas las filas</translation>
    </message>
    <message>
        <source>Check exactly the red rows</source>
        <translation>Marcar solo las filas en rojo</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Limpiar</translation>
    </message>
    <message>
        <source>Put every value of the panel back to keeping each file's own</source>
        <translation>Devolver cada valor del panel a conservar el de cada fichero</translation>
    </message>
    <message>
        <source>List the JNX maps of the folder</source>
        <translation>Listar los mapas JNX de la carpeta</translation>
    </message>
    <message>
        <source>Write the panel's values into every checked map</source>
        <translation>Escribir los valores del panel en cada mapa marcado</translation>
    </message>
    <message>
        <source>Delete the checked maps</source>
        <translation>Borrar los mapas marcados</translation>
    </message>
    <message>
        <source>Write each ticked level of every checked map as a map of its own</source>
        <translation>Escribir cada nivel marcado de cada mapa marcado como un mapa propio</translation>
    </message>
    <message>
        <source>Join the checked maps into one</source>
        <translation>Unir los mapas marcados en uno</translation>
    </message>
    <message numerus="yes">
        <source>%L1 of %Ln map(s) checked</source>
        <translation>
            <numerusform>Marcados: %L1 de %Ln mapa</numerusform>
            <numerusform>Marcados: %L1 de %Ln mapas</numerusform>
        </translation>
    </message>
    <message>
        <source>Check as device</source>
        <translation>Comprobar como dispositivo</translation>
    </message>
    <message>
        <source>Take the folder loaded as a device&apos;s memory or card: check its maps and Custom Maps images together against the device profile</source>
        <translation>Toma la carpeta cargada como la memoria o la tarjeta de un dispositivo: comprueba juntos sus mapas y sus imágenes de Custom Maps frente al perfil de dispositivo</translation>
    </message>
    <message>
        <source>Checking %1 as a device</source>
        <translation>Comprobando %1 como dispositivo</translation>
    </message>
    <message>
        <source>Found</source>
        <translation>Hallado</translation>
    </message>
    <message>
        <source>(the device)</source>
        <translation>(el dispositivo)</translation>
    </message>
    <message>
        <source>not counted: cannot be read</source>
        <translation>sin contar: no se puede leer</translation>
    </message>
    <message numerus="yes">
        <source>%1 as a device of the profile %2: %Ln map(s)</source>
        <translation>
            <numerusform>%1 como dispositivo del perfil %2: %Ln mapa</numerusform>
            <numerusform>%1 como dispositivo del perfil %2: %Ln mapas</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %Ln Custom Maps image(s).</source>
        <translation>
            <numerusform>, %Ln imagen de Custom Maps.</numerusform>
            <numerusform>, %Ln imágenes de Custom Maps.</numerusform>
        </translation>
    </message>
    <message>
        <source>Making the checked maps device-ready</source>
        <translation>Preparando los mapas marcados para el dispositivo</translation>
    </message>
    <message>
        <source>Made device-ready: %L1</source>
        <translation>Preparados para el dispositivo: %L1</translation>
    </message>
    <message>
        <source>Already ready: %L1</source>
        <translation>Ya estaban listos: %L1</translation>
    </message>
    <message>
        <source>Still not ready: %L1</source>
        <translation>Siguen sin estar listos: %L1</translation>
    </message>
    <message>
        <source>Errors: %L1</source>
        <translation>Errores: %L1</translation>
    </message>
</context>
<context>
    <name>batchui::CoveragePane</name>
    <message>
        <source>Where the highlighted maps lie. A solid outline marks a checked map, a dashed one a map that is not checked.</source>
        <translation>Dónde están los mapas resaltados. Un contorno continuo señala un mapa marcado; uno discontinuo, un mapa sin marcar.</translation>
    </message>
    <message>
        <source>Highlight maps to see where they lie</source>
        <translation>Resalte mapas para ver dónde están</translation>
    </message>
</context>
<context>
    <name>batchui::Messages</name>
    <message>
        <source>updated, renamed to %1</source>
        <translation>actualizado, renombrado a %1</translation>
    </message>
    <message>
        <source>updated</source>
        <translation>actualizado</translation>
    </message>
    <message>
        <source>created %1</source>
        <translation>creado %1</translation>
    </message>
    <message>
        <source>split into %1</source>
        <translation>dividido en %1</translation>
    </message>
    <message>
        <source>deleted</source>
        <translation>borrado</translation>
    </message>
    <message>
        <source>cancelled: the file being written was removed</source>
        <translation>cancelado: se ha borrado el fichero que se estaba escribiendo</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>error: %1</translation>
    </message>
    <message>
        <source>Cancelled: the maps listed were done; the others were not touched.</source>
        <translation>Cancelado: los mapas de la lista se han procesado; los demás no se han tocado.</translation>
    </message>
    <message numerus="yes">
        <source>Reading the folder was cancelled: %Ln map(s) are listed.</source>
        <translation>
            <numerusform>Se ha cancelado la lectura de la carpeta: se lista %Ln mapa.</numerusform>
            <numerusform>Se ha cancelado la lectura de la carpeta: se listan %Ln mapas.</numerusform>
        </translation>
    </message>
    <message>
        <source>The merge was cancelled: the merged file was removed; the maps are as they were.</source>
        <translation>Se ha cancelado la unión: se ha borrado el fichero unido; los mapas siguen como estaban.</translation>
    </message>
    <message>
        <source>Updated OK: %L1</source>
        <translation>Actualizados OK: %L1</translation>
    </message>
    <message>
        <source>Created OK: %L1</source>
        <translation>Creados OK: %L1</translation>
    </message>
    <message>
        <source>Errors: %L1</source>
        <translation>Errores: %L1</translation>
    </message>
    <message>
        <source>Extracted OK: %L1</source>
        <translation>Extraídos OK: %L1</translation>
    </message>
    <message>
        <source>Delete errors.</source>
        <translation>Errores en el borrado.</translation>
    </message>
    <message>
        <source>Deleted OK.</source>
        <translation>Borrados correctamente.</translation>
    </message>
    <message numerus="yes">
        <source>Delete %Ln file(s)?</source>
        <translation>
            <numerusform>Va a borrar %Ln fichero, ¿está seguro?</numerusform>
            <numerusform>Va a borrar %Ln ficheros, ¿está seguro?</numerusform>
        </translation>
    </message>
    <message>
        <source>Error merging files.</source>
        <translation>Error uniendo ficheros.</translation>
    </message>
    <message>
        <source>rewritten as a new file; the old one was deleted</source>
        <translation>reescrito como fichero nuevo; el anterior se ha borrado</translation>
    </message>
</context>
<context>
    <name>ui::EditorWindow</name>
    <message>
        <source>Title: %1</source>
        <translation>Título: %1</translation>
    </message>
    <message>
        <source>North %1°, South %2°, West %3°, East %4°</source>
        <translation>Norte %1°, Sur %2°, Oeste %3°, Este %4°</translation>
    </message>
    <message>
        <source>%1 cannot be opened:</source>
        <translation>No se puede abrir %1:</translation>
    </message>
    <message>
        <source>Writing %1</source>
        <translation>Escribiendo %1</translation>
    </message>
    <message>
        <source>Splitting %1</source>
        <translation>Dividiendo %1</translation>
    </message>
    <message>
        <source>Cancelled: the file being written was removed; %1 is as it was.</source>
        <translation>Cancelado: se ha borrado el fichero que se estaba escribiendo; %1 sigue como estaba.</translation>
    </message>
    <message>
        <source>Written before: %1</source>
        <translation>Escritos antes: %1</translation>
    </message>
    <message>
        <source>Press YES to open the output folder, NO otherwise.</source>
        <translation>Pulse SÍ para ir a la carpeta de generación, NO en caso contrario.</translation>
    </message>
    <message>
        <source>Need to load a JNX file.</source>
        <translation>Debe cargar primero un fichero JNX.</translation>
    </message>
    <message>
        <source>All levels need a zoom name.</source>
        <translation>Todos los niveles deben tener nombre de zoom.</translation>
    </message>
    <message>
        <source>JNX updated successfully.</source>
        <translation>JNX actualizado correctamente.</translation>
    </message>
    <message>
        <source>Errors in JNX update. %1</source>
        <comment>%1: the reason</comment>
        <translation>Errores en la actualización del JNX.
%1</translation>
    </message>
    <message>
        <source>New JNX generated successfully.</source>
        <translation>Nuevo JNX generado correctamente.</translation>
    </message>
    <message>
        <source>Errors in JNX generation.</source>
        <translation>Errores en la generación del JNX.</translation>
    </message>
    <message>
        <source>All levels need a zoom number.</source>
        <translation>Todos los niveles deben tener zoom definido.</translation>
    </message>
    <message>
        <source>The file has only one level, no need to split it.</source>
        <translation>No tiene sentido separar un fichero de un solo nivel.</translation>
    </message>
    <message>
        <source>JNX file (*.jnx *.JNX)</source>
        <comment>file dialog filter</comment>
        <translation>Fichero JNX (*.jnx *.JNX)</translation>
    </message>
    <message>
        <source>JNX file version not supported, rebuild the JNX with newer versions of applications.</source>
        <translation>Versión de fichero JNX no soportada, vuelva a generar el JNX con versiones más recientes de las aplicaciones.</translation>
    </message>
    <message>
        <source>shown at %1 only</source>
        <translation>se muestra solo a %1</translation>
    </message>
    <message>
        <source>shown from %1 to %2</source>
        <translation>se muestra de %1 a %2</translation>
    </message>
    <message>
        <source>never shown: level %1 covers it</source>
        <translation>nunca se muestra: lo cubre el nivel %1</translation>
    </message>
    <message>
        <source>never shown: finer than %1</source>
        <translation>nunca se muestra: más fino que %1</translation>
    </message>
    <message>
        <source>Total %1 TL. - JNX v.%2</source>
        <translation>Total %1 TL. - JNX v.%2</translation>
    </message>
    <message>
        <source>Error in config file.</source>
        <translation>Error en el fichero de configuración.</translation>
    </message>
    <message>
        <source>Load JNX</source>
        <translation>Cargar JNX</translation>
    </message>
    <message>
        <source>Save JNX</source>
        <translation>Guardar JNX</translation>
    </message>
    <message>
        <source>Split JNX</source>
        <translation>Dividir JNX</translation>
    </message>
    <message>
        <source>Batch</source>
        <translation>Batch</translation>
    </message>
    <message>
        <source>Split</source>
        <translation>Split</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Grupo</translation>
    </message>
    <message>
        <source>Levels</source>
        <translation>Niveles</translation>
    </message>
    <message>
        <source>Fit scales</source>
        <translation>Ajustar escalas</translation>
    </message>
    <message>
        <source>Give each level the scale its imagery calls for on the device profile&apos;s units</source>
        <translation>Da a cada nivel la escala que pide su imagen en los equipos del perfil de dispositivo</translation>
    </message>
    <message>
        <source>Level %1 keeps its scale: its resolution is unknown</source>
        <translation>El nivel %1 conserva su escala: su resolución es desconocida</translation>
    </message>
    <message>
        <source>when the map is loaded</source>
        <translation>Una vez cargado un mapa</translation>
    </message>
    <message>
        <source>move the mouse over a level&apos;s tag</source>
        <translation>mueva el ratón sobre la etiqueta de nivel</translation>
    </message>
    <message>
        <source>to preview</source>
        <translation>para previsualizarlo</translation>
    </message>
    <message>
        <source>Update to ...</source>
        <translation>Actualizar a ...</translation>
    </message>
    <message>
        <source>DrawOrder</source>
        <translation>DrawOrder</translation>
    </message>
    <message>
        <source>Press Load JNX button.</source>
        <translation>Pulse Cargar JNX para cargar un fichero.</translation>
    </message>
    <message>
        <source>Level</source>
        <translation>Nivel</translation>
    </message>
    <message>
        <source>Open a JNX map</source>
        <translation>Abrir un mapa JNX</translation>
    </message>
    <message>
        <source>Write the edits into the map</source>
        <translation>Escribir los cambios en el mapa</translation>
    </message>
    <message>
        <source>Write each ticked level as a map of its own</source>
        <translation>Escribir cada nivel marcado como un mapa propio</translation>
    </message>
    <message>
        <source>Edit every map of a folder</source>
        <translation>Editar todos los mapas de una carpeta</translation>
    </message>
    <message>
        <source>The changes to %1 are not saved. Discard them?</source>
        <translation>Los cambios en %1 no se han guardado. ¿Descartarlos?</translation>
    </message>
    <message>
        <source>No file browser could show the folder %1.</source>
        <translation>Ningún explorador de archivos pudo mostrar la carpeta %1.</translation>
    </message>
    <message>
        <source>Import…</source>
        <translation>Importar…</translation>
    </message>
    <message>
        <source>Make a map of MBTiles, KMZ or a folder of tiles</source>
        <translation>Crear un mapa de MBTiles, KMZ o una carpeta de teselas</translation>
    </message>
    <message>
        <source>Export…</source>
        <translation>Exportar…</translation>
    </message>
    <message>
        <source>Write the map as KMZ or MBTiles</source>
        <translation>Escribir el mapa como KMZ o MBTiles</translation>
    </message>
    <message>
        <source>Cancelled: nothing was written.</source>
        <translation>Cancelado: no se ha escrito nada.</translation>
    </message>
    <message>
        <source>Choose the tiles to import and the map to write.</source>
        <translation>Elija las teselas que importar y el mapa que escribir.</translation>
    </message>
    <message>
        <source>Importing %1</source>
        <translation>Importando %1</translation>
    </message>
    <message>
        <source>%1 could not be imported:</source>
        <translation>No se ha podido importar %1:</translation>
    </message>
    <message numerus="yes">
        <source>The map was written as %Ln volume(s) in %1; the first one is loaded.</source>
        <translation>
            <numerusform>El mapa se ha escrito en %Ln volumen en %1; se ha cargado.</numerusform>
            <numerusform>El mapa se ha escrito en %Ln volúmenes en %1; se ha cargado el primero.</numerusform>
        </translation>
    </message>
    <message>
        <source>Map written: %1</source>
        <translation>Mapa escrito: %1</translation>
    </message>
    <message numerus="yes">
        <source>%Ln tile(s), zooms %1.</source>
        <translation>
            <numerusform>%Ln tesela, zooms %1.</numerusform>
            <numerusform>%Ln teselas, zooms %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln tile(s) of coarser zooms lie over no volume and were left out.</source>
        <translation>
            <numerusform>%Ln tesela de zooms menores no cae sobre ningún volumen y se ha omitido.</numerusform>
            <numerusform>%Ln teselas de zooms menores no caen sobre ningún volumen y se han omitido.</numerusform>
        </translation>
    </message>
    <message>
        <source>The tiles were copied as they are, not joined: %1</source>
        <translation>Las teselas se han copiado tal cual, sin unirlas: %1</translation>
    </message>
    <message numerus="yes">
        <source>Level %1: %Ln tile(s)</source>
        <translation>
            <numerusform>Nivel %1: %Ln tesela</numerusform>
            <numerusform>Nivel %1: %Ln teselas</numerusform>
        </translation>
    </message>
    <message>
        <source>zoom %1</source>
        <translation>zoom %1</translation>
    </message>
    <message>
        <source>Choose the levels to export and the file to write.</source>
        <translation>Elija los niveles que exportar y el fichero que escribir.</translation>
    </message>
    <message>
        <source>The export writes %1 as saved, without the changes not yet saved. Go on?</source>
        <translation>La exportación escribe %1 tal como está guardado, sin los cambios aún no guardados. ¿Continuar?</translation>
    </message>
    <message>
        <source>%1 could not be exported:</source>
        <translation>No se ha podido exportar %1:</translation>
    </message>
    <message numerus="yes">
        <source>Exported %Ln tile(s), zooms %1, to %2.</source>
        <translation>
            <numerusform>Exportada %Ln tesela, zooms %1, a %2.</numerusform>
            <numerusform>Exportadas %Ln teselas, zooms %1, a %2.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Level %1 exported as %Ln Custom Maps image(s), at most %2 per file:</source>
        <translation>
            <numerusform>Nivel %1 exportado como %Ln imagen de Custom Maps, como mucho %2 por archivo:</numerusform>
            <numerusform>Nivel %1 exportado como %Ln imágenes de Custom Maps, como mucho %2 por archivo:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 (%Ln image(s))</source>
        <translation>
            <numerusform>%1 (%Ln imagen)</numerusform>
            <numerusform>%1 (%Ln imágenes)</numerusform>
        </translation>
    </message>
    <message>
        <source>Make device-ready works on %1 as saved, without the changes not yet saved. Go on?</source>
        <translation>Preparar para el dispositivo trabaja sobre %1 tal como está guardado, sin los cambios aún no guardados. ¿Continuar?</translation>
    </message>
    <message>
        <source>Making %1 device-ready</source>
        <translation>Preparando %1 para el dispositivo</translation>
    </message>
</context>
<context>
    <name>ui::MapView</name>
    <message>
        <source>Fit the map</source>
        <translation>Ajustar el mapa</translation>
    </message>
    <message>
        <source>as on %1 units</source>
        <translation>como en unidades %1</translation>
    </message>
    <message>
        <source>Shown from %1 on, the widest zoom where the device draws this map</source>
        <translation>Se muestra desde %1, el zoom más amplio en que el dispositivo dibuja este mapa</translation>
    </message>
    <message>
        <source>As the device shows it</source>
        <translation>Como lo muestra el dispositivo</translation>
    </message>
    <message>
        <source>Level %1</source>
        <translation>Nivel %1</translation>
    </message>
    <message>
        <source>nothing shown at this zoom</source>
        <translation>nada visible con este zoom</translation>
    </message>
    <message>
        <source>zoom in to %1 to see the map</source>
        <translation>acerque el zoom a %1 para ver el mapa</translation>
    </message>
    <message>
        <source>zoom out to %1 to see the map</source>
        <translation>aleje el zoom a %1 para ver el mapa</translation>
    </message>
    <message>
        <source>Level %1 - tile %2 of %3 - %4 × %5 px - %6 bytes</source>
        <translation>Nivel %1 - tesela %2 de %3 - %4 × %5 px - %6 bytes</translation>
    </message>
    <message>
        <source>as on units of factor %L1</source>
        <translation>como en unidades de factor %L1</translation>
    </message>
</context>
<context>
    <name>ui::Preview</name>
    <message>
        <source>%1 TL. - Zoom:%2 - JNXScale: %3</source>
        <translation>%1 TL. - Zoom:%2 - JNXScale: %3</translation>
    </message>
</context>
<context>
    <name>platform::Error</name>
    <message>
        <source>Cancelled: the file being written was removed</source>
        <translation>Cancelado: se ha borrado el fichero que se estaba escribiendo</translation>
    </message>
    <message>
        <source>File is not open</source>
        <translation>El fichero no está abierto</translation>
    </message>
    <message>
        <source>File position out of range</source>
        <translation>Posición del fichero fuera de rango</translation>
    </message>
    <message>
        <source>Cannot open {file}: {detail}</source>
        <translation>No se puede abrir {file}: {detail}</translation>
    </message>
    <message>
        <source>Cannot get the file length: {detail}</source>
        <translation>No se puede obtener la longitud del fichero: {detail}</translation>
    </message>
    <message>
        <source>Cannot read the file: {detail}</source>
        <translation>No se puede leer el fichero: {detail}</translation>
    </message>
    <message>
        <source>Read past the end of the file</source>
        <translation>Lectura más allá del final del fichero</translation>
    </message>
    <message>
        <source>{file} changed or could not be read while it was read</source>
        <translation>{file} cambió o no se pudo leer mientras se leía</translation>
    </message>
    <message>
        <source>Cannot write to the file: {detail}</source>
        <translation>No se puede escribir en el fichero: {detail}</translation>
    </message>
    <message>
        <source>Cannot write to the file: no space written</source>
        <translation>No se puede escribir en el fichero: no se ha escrito ningún byte</translation>
    </message>
    <message>
        <source>Cannot copy file data: {detail}</source>
        <translation>No se pueden copiar los datos del fichero: {detail}</translation>
    </message>
    <message>
        <source>Cannot flush the file: {detail}</source>
        <translation>No se puede volcar el fichero al disco: {detail}</translation>
    </message>
    <message>
        <source>Cannot move {file} to {other}: {detail}</source>
        <translation>No se puede mover {file} a {other}: {detail}</translation>
    </message>
    <message>
        <source>Cannot copy {file} to {other}: {detail}</source>
        <translation>No se puede copiar {file} a {other}: {detail}</translation>
    </message>
    <message>
        <source>Cannot delete {file}</source>
        <translation>No se puede borrar {file}</translation>
    </message>
    <message>
        <source>{file} cannot be read as a tile source: {detail}</source>
        <translation>{file} no se puede leer como origen de teselas: {detail}</translation>
    </message>
    <message>
        <source>{file} holds no web-map tiles</source>
        <translation>{file} no contiene teselas de mapa web</translation>
    </message>
    <message>
        <source>{file} holds no tiles of zoom {value}</source>
        <translation>{file} no contiene teselas de zoom {value}</translation>
    </message>
    <message>
        <source>{file}: the tile {detail} has no image data; nothing was written</source>
        <translation>{file}: la tesela {detail} no tiene datos de imagen; no se ha escrito nada</translation>
    </message>
    <message>
        <source>{value} tiles are not JPEG ({detail}); tiles are copied as they are, never re-encoded, so nothing was written</source>
        <translation>{value} teselas no son JPEG ({detail}); las teselas se copian tal cual, sin recodificarlas, así que no se ha escrito nada</translation>
    </message>
    <message>
        <source>The map would exceed the device limit: {detail}; nothing was written</source>
        <translation>El mapa superaría el límite del dispositivo: {detail}; no se ha escrito nada</translation>
    </message>
    <message>
        <source>Level {level} is not on the web-map grid ({detail}), so MBTiles cannot hold it; KMZ keeps such tiles as they are. Nothing was written</source>
        <translation>El nivel {level} no está en la cuadrícula del mapa web ({detail}), así que MBTiles no puede contenerlo; KMZ conserva esas teselas tal cual. No se ha escrito nada</translation>
    </message>
    <message>
        <source>Cannot write {file}: {detail}</source>
        <translation>No se puede escribir {file}: {detail}</translation>
    </message>
    <message>
        <source>{file} goes beyond what an import reads: {detail}; nothing was written</source>
        <translation>{file} va más allá de lo que lee una importación: {detail}; no se ha escrito nada</translation>
    </message>
    <message>
        <source>{file} cannot be read as a raster: {detail}</source>
        <translation>{file} no se puede leer como ráster: {detail}</translation>
    </message>
    <message>
        <source>{file} is not georeferenced ({detail}), so where it lies is unknown; nothing was written</source>
        <translation>{file} no está georreferenciado ({detail}), así que no se sabe dónde está; no se ha escrito nada</translation>
    </message>
    <message>
        <source>{file} is rotated or sheared ({detail}); only north-up rasters are imported, so nothing was written</source>
        <translation>{file} está girado o inclinado ({detail}); solo se importan rásteres orientados al norte, así que no se ha escrito nada</translation>
    </message>
    <message>
        <source>{file} cannot be made into map tiles: {detail}; nothing was written</source>
        <translation>{file} no se puede convertir en teselas de mapa: {detail}; no se ha escrito nada</translation>
    </message>
    <message>
        <source>Tile {value} of level {level} cannot be read as a JPEG: {detail}</source>
        <translation>La tesela {value} del nivel {level} no se puede leer como JPEG: {detail}</translation>
    </message>
    <message>
        <source>The tiles of level {level} cannot be joined without re-encoding: {detail}</source>
        <translation>Las teselas del nivel {level} no se pueden unir sin recodificarlas: {detail}</translation>
    </message>
    <message>
        <source>Tiles {other} and {value} of level {level} cannot be joined without re-encoding: their {detail} differ</source>
        <translation>Las teselas {other} y {value} del nivel {level} no se pueden unir sin recodificarlas: difieren sus {detail}</translation>
    </message>
    <message>
        <source>{file} would still not be ready for the device ({detail}); nothing was written</source>
        <translation>{file} seguiría sin estar listo para el dispositivo ({detail}); no se ha escrito nada</translation>
    </message>
    <message>
        <source>{file}: even its coarsest level, {level}, needs {value} images of at most 1024 x 1024 pixels, more than the {other} a device shows; nothing was written</source>
        <translation>{file}: incluso su nivel más general, el {level}, necesita {value} imágenes de 1024 x 1024 píxeles como mucho, más de las {other} que muestra un dispositivo; no se ha escrito nada</translation>
    </message>
    <message>
        <source>{file}: the tiles of level {level} are {value} pixels wide or high, more than the 1024 a Custom Maps image may have; nothing was written</source>
        <translation>{file}: las teselas del nivel {level} miden {value} píxeles de ancho o de alto, más de los 1024 que admite una imagen de Custom Maps; no se ha escrito nada</translation>
    </message>
    <message>
        <source>{file}: image {other} of level {level} takes {value} bytes, not under the 3 MB a Custom Maps image must stay within; nothing was written</source>
        <translation>{file}: la imagen {other} del nivel {level} ocupa {value} bytes, no menos de los 3 MB que admite una imagen de Custom Maps; no se ha escrito nada</translation>
    </message>
    <message>
        <source>Cannot read folder {file}: {detail}</source>
        <translation>No se puede leer la carpeta {file}: {detail}</translation>
    </message>
    <message>
        <source>Cannot create the folder {file}.</source>
        <translation>No se puede crear la carpeta {file}.</translation>
    </message>
    <message>
        <source>Cannot write the settings file {file}</source>
        <translation>No se puede escribir el fichero de configuración {file}</translation>
    </message>
    <message>
        <source>The settings file {file} does not exist</source>
        <translation>El fichero de configuración {file} no existe</translation>
    </message>
    <message>
        <source>The settings file {file} is a folder</source>
        <translation>El fichero de configuración {file} es una carpeta</translation>
    </message>
    <message>
        <source>The settings file {file} is not a regular file</source>
        <translation>El fichero de configuración {file} no es un fichero normal</translation>
    </message>
    <message>
        <source>The settings file {file} is larger than 1 MB</source>
        <translation>El fichero de configuración {file} ocupa más de 1 MB</translation>
    </message>
    <message>
        <source>The settings file {file} is not text: it holds a NUL byte</source>
        <translation>El fichero de configuración {file} no es texto: contiene un byte NUL</translation>
    </message>
    <message>
        <source>Every name for the merged file in {file} is taken.</source>
        <translation>Todos los nombres para el fichero unido en {file} están ocupados.</translation>
    </message>
    <message>
        <source>{file} is not a regular file</source>
        <translation>{file} no es un fichero regular</translation>
    </message>
    <message>
        <source>{file} exists already and was left as it is; nothing was written</source>
        <translation>{file} ya existe y se ha dejado como estaba; no se ha escrito nada</translation>
    </message>
    <message>
        <source>{file} is the file being read; the output must be another file</source>
        <translation>{file} es el fichero que se lee; la salida debe ser otro fichero</translation>
    </message>
    <message>
        <source>Cannot write into the folder {file}: {detail}</source>
        <translation>No se puede escribir en la carpeta {file}: {detail}</translation>
    </message>
    <message>
        <source>Cannot lock {file} against other writers: {detail}</source>
        <translation>No se puede bloquear {file} frente a otros escritores: {detail}</translation>
    </message>
    <message>
        <source>{file} is in use by another writer; nothing was written</source>
        <translation>{file} está en uso por otro escritor; no se ha escrito nada</translation>
    </message>
    <message>
        <source>Jnx Version Error</source>
        <translation>Error de versión JNX</translation>
    </message>
    <message>
        <source>Level count out of range: {value}</source>
        <translation>Número de niveles fuera de rango: {value}</translation>
    </message>
    <message>
        <source>Tile count out of range in level {level}: {value}</source>
        <translation>Número de teselas fuera de rango en el nivel {level}: {value}</translation>
    </message>
    <message>
        <source>Arithmetic overflow</source>
        <translation>Desbordamiento aritmético</translation>
    </message>
    <message>
        <source>Text field longer than 32767 bytes</source>
        <translation>Campo de texto de más de 32.767 bytes</translation>
    </message>
    <message>
        <source>Map block too long: its padding would be negative</source>
        <translation>Bloque del mapa demasiado largo: su relleno sería negativo</translation>
    </message>
    <message>
        <source>The file holds no tiles</source>
        <translation>El fichero no contiene teselas</translation>
    </message>
    <message>
        <source>Error seccion Signature.</source>
        <translation>Error sección Signature.</translation>
    </message>
    <message>
        <source>Tile {level} has no image data</source>
        <translation>La tesela {level} no tiene datos de imagen</translation>
    </message>
    <message>
        <source>Tile {level} lies outside the file</source>
        <translation>La tesela {level} está fuera del fichero</translation>
    </message>
    <message>
        <source>Tile {level} lies before the end of the tile tables</source>
        <translation>La tesela {level} está antes del final de las tablas de teselas</translation>
    </message>
    <message>
        <source>End &lt;&gt; BirdsEye - BlockVersion&lt;&gt;9. </source>
        <translation>Fin &lt;&gt; BirdsEye - BlockVersion&lt;&gt;9. </translation>
    </message>
    <message>
        <source>CheckPointsTiles.Offset &lt;&gt; TileOffset</source>
        <translation>CheckPointsTiles.Offset &lt;&gt; TileOffset</translation>
    </message>
    <message>
        <source>Product ID &quot;{other}&quot; is not a whole number from -32768 to 32767</source>
        <translation>El ID de producto &quot;{other}&quot; no es un número entero entre -32.768 y 32.767</translation>
    </message>
    <message>
        <source>Group name too long</source>
        <translation>Nombre de grupo demasiado largo</translation>
    </message>
    <message>
        <source>Scale out of range</source>
        <translation>Escala fuera de rango</translation>
    </message>
    <message>
        <source>Zoom of level {level} (&quot;{other}&quot;) is not a whole number from -32768 to 32767</source>
        <translation>El zoom del nivel {level} (&quot;{other}&quot;) no es un número entero entre -32.768 y 32.767</translation>
    </message>
    <message>
        <source>The draw order &quot;{other}&quot; is not a whole number from -32768 to 32767</source>
        <translation>El orden de dibujo &quot;{other}&quot; no es un número entero entre -32.768 y 32.767</translation>
    </message>
    <message>
        <source>Target version must be 3 or 4</source>
        <translation>La versión de destino debe ser 3 o 4</translation>
    </message>
    <message>
        <source>BlockSize must be a positive number of bytes</source>
        <translation>BlockSize debe ser un número positivo de bytes</translation>
    </message>
    <message>
        <source>Map description block of {value} bytes does not fit in 1024 bytes</source>
        <translation>El bloque de descripción del mapa de {value} bytes no cabe en 1024 bytes</translation>
    </message>
    <message>
        <source>Map description block texts are not zero-terminated</source>
        <translation>Los textos del bloque de descripción del mapa no terminan en cero</translation>
    </message>
    <message>
        <source>A text of the map holds a zero byte, which would end it early; nothing was written</source>
        <translation>Un texto del mapa contiene un byte cero, que lo terminaría antes de tiempo; no se ha escrito nada</translation>
    </message>
    <message>
        <source>The file was not read with its tile tables</source>
        <translation>El fichero no se leyó con sus tablas de teselas</translation>
    </message>
    <message>
        <source>The file holds no tiles to copy</source>
        <translation>El fichero no contiene teselas que copiar</translation>
    </message>
    <message>
        <source>Tile table offsets would not fit the file format</source>
        <translation>Las posiciones de las tablas de teselas no cabrían en el formato del fichero</translation>
    </message>
    <message>
        <source>Tile data offsets would not fit the file format</source>
        <translation>Las posiciones de los datos de las teselas no cabrían en el formato del fichero</translation>
    </message>
    <message>
        <source>The map written would be {value} bytes, beyond the 4 GiB − 1 (4294967295 bytes) that a JNX map can hold</source>
        <translation>El mapa escrito ocuparía {value} bytes, más de los 4 GiB − 1 (4.294.967.295 bytes) que admite un mapa JNX</translation>
    </message>
    <message>
        <source>The file has changed since it was read</source>
        <translation>El fichero ha cambiado desde que se leyó</translation>
    </message>
    <message>
        <source>Filelen</source>
        <translation>Longitud del fichero (Filelen)</translation>
    </message>
    <message>
        <source>OffsetCheck</source>
        <translation>Comprobación de posiciones (OffsetCheck)</translation>
    </message>
    <message>
        <source>OffsetCheck2</source>
        <translation>Comprobación de posiciones (OffsetCheck2)</translation>
    </message>
    <message>
        <source>The file cannot be updated in place</source>
        <translation>El fichero no se puede actualizar en su sitio</translation>
    </message>
    <message>
        <source>Level table runs past the map block</source>
        <translation>La tabla de niveles invade el bloque del mapa</translation>
    </message>
    <message>
        <source>Level table does not end where the map block begins</source>
        <translation>La tabla de niveles no termina donde empieza el bloque del mapa</translation>
    </message>
    <message>
        <source>Map description block not where it was read</source>
        <translation>El bloque de descripción del mapa no está donde se leyó</translation>
    </message>
    <message>
        <source>File is shorter than when it was read</source>
        <translation>El fichero es más corto que cuando se leyó</translation>
    </message>
    <message>
        <source>File length changed by the update</source>
        <translation>La actualización ha cambiado la longitud del fichero</translation>
    </message>
    <message>
        <source>ModifJNX::CheckPointsTiles error.</source>
        <translation>Error en ModifJNX::CheckPointsTiles.</translation>
    </message>
    <message>
        <source>ModifJNX::CheckPointsImages error.</source>
        <translation>Error en ModifJNX::CheckPointsImages.</translation>
    </message>
    <message>
        <source>Level {level} does not exist in the file</source>
        <translation>El nivel {level} no existe en el fichero</translation>
    </message>
    <message>
        <source>Level {level} has no tiles</source>
        <translation>El nivel {level} no tiene teselas</translation>
    </message>
    <message>
        <source>A tile of level {level} has no image data</source>
        <translation>Una tesela del nivel {level} no tiene datos de imagen</translation>
    </message>
    <message>
        <source>Verification of the tile table failed</source>
        <translation>La verificación de la tabla de teselas ha fallado</translation>
    </message>
    <message>
        <source>Verification of the tile images failed</source>
        <translation>La verificación de las imágenes de las teselas ha fallado</translation>
    </message>
    <message>
        <source>Version {value} cannot be written.</source>
        <translation>No se puede escribir la versión {value}.</translation>
    </message>
    <message>
        <source>The merge plan is incomplete.</source>
        <translation>El plan de unión está incompleto.</translation>
    </message>
    <message>
        <source>The files chosen hold no tiles to merge.</source>
        <translation>Los ficheros elegidos no contienen teselas que unir.</translation>
    </message>
    <message>
        <source>The map description block of the merged file would take {value} bytes; at most 1023 fit.</source>
        <translation>El bloque de descripción del mapa del fichero unido ocuparía {value} bytes; caben como máximo 1023.</translation>
    </message>
    <message>
        <source>The merge plan does not match its sources.</source>
        <translation>El plan de unión no coincide con sus ficheros de origen.</translation>
    </message>
    <message>
        <source>{file} has changed since the folder was read; load the folder again.</source>
        <translation>{file} ha cambiado desde que se leyó la carpeta; cargue la carpeta de nuevo.</translation>
    </message>
    <message>
        <source>{file} gives level {level} a negative tile count.</source>
        <translation>{file} da al nivel {level} un número de teselas negativo.</translation>
    </message>
    <message>
        <source>{file} has changed since the merge was planned; nothing was written.</source>
        <translation>{file} ha cambiado desde que se planificó la unión; no se ha escrito nada.</translation>
    </message>
    <message>
        <source>The merged file does not read back as it was written.</source>
        <translation>El fichero unido no se lee tal como se escribió.</translation>
    </message>
    <message>
        <source>The merged file does not read back: {cause}</source>
        <translation>El fichero unido no se puede volver a leer: {cause}</translation>
    </message>
    <message>
        <source>{file}: the data of tile {level} does not lie within the file.</source>
        <translation>{file}: los datos de la tesela {level} no están dentro del fichero.</translation>
    </message>
    <message>
        <source>Loading {file}</source>
        <translation>Cargando {file}</translation>
    </message>
    <message>
        <source>Loading {file}
{cause}</source>
        <translation>Cargando {file}
{cause}</translation>
    </message>
    <message>
        <source>Checkpoint</source>
        <translation>Punto de control</translation>
    </message>
    <message>
        <source>You must load a directory.</source>
        <translation>Debe cargar un directorio.</translation>
    </message>
    <message>
        <source>All erroneous files must be unchecked.</source>
        <translation>No puede seleccionar ningún fichero erróneo para procesar.</translation>
    </message>
    <message>
        <source>All selected files need valid filename.</source>
        <translation>Todos los ficheros seleccionados deben tener un nombre de fichero válido.</translation>
    </message>
    <message>
        <source>You must select at least one valid JNX file.</source>
        <translation>Debe seleccionar al menos un fichero válido.</translation>
    </message>
    <message>
        <source>You must select at least one file to delete.</source>
        <translation>Debe seleccionar al menos un fichero a borrar.</translation>
    </message>
    <message>
        <source>Any file has only one level, no need to split it.</source>
        <translation>No tiene sentido separar un fichero de un solo nivel.</translation>
    </message>
    <message>
        <source>Nothing to split, you need to check levels to split.</source>
        <translation>Nada que separar, debe marcar aquellos niveles que desea separar.</translation>
    </message>
    <message>
        <source>You must select a valid jnx version in combo, because original jnx have different jnx versions.</source>
        <translation>Hay JNX de con distintas versiones, es obligatorio que indique en el desplegable una versión de JNX para el fichero resultante.</translation>
    </message>
    <message>
        <source>You must select at least two valid JNX file to join.</source>
        <translation>Debe seleccionar al menos dos ficheros a unir.</translation>
    </message>
    <message>
        <source>NumLevels result [{value}] should be less than or equal to 5 (Garmin Limit).</source>
        <translation>El número de niveles del fichero resultante [{value}] no puede ser superior a 5 (limite Garmin).</translation>
    </message>
    <message>
        <source>{file} and {other} do not cover the same area ({detail}). Only maps of the same area with different zoom levels can be joined.</source>
        <translation>{file} y {other} no cubren la misma superficie ({detail}). Los mapas seleccionados no cubren la misma superficie, no pueden unirse.</translation>
    </message>
    <message>
        <source>Cannot read {file}: {cause}</source>
        <translation>No se puede leer {file}: {cause}</translation>
    </message>
    <message>
        <source>Cannot regenerate {file}: {cause}</source>
        <translation>No se puede regenerar {file}: {cause}</translation>
    </message>
    <message>
        <source>Cannot replace {file}: {cause}</source>
        <translation>No se puede reemplazar {file}: {cause}</translation>
    </message>
    <message>
        <source>Cannot update {file}: {cause}</source>
        <translation>No se puede actualizar {file}: {cause}</translation>
    </message>
    <message>
        <source>Updated, but cannot rename: {cause}</source>
        <translation>Actualizado, pero no se puede renombrar: {cause}</translation>
    </message>
    <message>
        <source>The new name {other} holds a folder separator</source>
        <translation>El nuevo nombre {other} contiene un separador de carpetas</translation>
    </message>
    <message>
        <source>A file named {other} exists already</source>
        <translation>Ya existe un fichero llamado {other}</translation>
    </message>
    <message>
        <source>{file} has changed since the folder was loaded</source>
        <translation>{file} ha cambiado desde que se cargó la carpeta</translation>
    </message>
    <message>
        <source>Cannot extract level {level}: {cause}</source>
        <translation>No se puede extraer el nivel {level}: {cause}</translation>
    </message>
</context>
<context>
    <name>check::Finding</name>
    <message>
        <source>{a} levels: the unit loads the first {b} and ignores level {c}</source>
        <translation>{a} niveles: la unidad carga los {b} primeros y no tiene en cuenta el nivel {c}</translation>
    </message>
    <message>
        <source>{a} levels: the unit loads the first {b} and ignores levels {c} to {a}</source>
        <translation>{a} niveles: la unidad carga los {b} primeros y no tiene en cuenta los niveles {c} a {a}</translation>
    </message>
    <message>
        <source>{a} tiles: the unit takes at most {b} per level</source>
        <translation>{a} teselas: la unidad admite como máximo {b} por nivel</translation>
    </message>
    <message>
        <source>the file holds {a} bytes: the unit reads files below 4 GiB</source>
        <translation>el fichero tiene {a} bytes: la unidad lee ficheros de menos de 4 GiB</translation>
    </message>
    <message>
        <source>draw order {a} lies outside {b} to {c}</source>
        <translation>el orden de dibujo {a} está fuera de {b} a {c}</translation>
    </message>
    <message>
        <source>same zoom ({a}) as level {b}</source>
        <translation>mismo zoom ({a}) que el nivel {b}</translation>
    </message>
    <message>
        <source>same scale ({a}) as level {b}</source>
        <translation>misma escala ({a}) que el nivel {b}</translation>
    </message>
    <message>
        <source>same scale ({a}, zoom row &quot;{text}&quot;) as level {b}</source>
        <translation>misma escala ({a}, fila de zoom &quot;{text}&quot;) que el nivel {b}</translation>
    </message>
    <message>
        <source>the map block&apos;s copy of the product ID ({text}) differs from the product ID {a}: desktop software activates the map by the copy</source>
        <translation>la copia del ID de producto en el bloque del mapa ({text}) difiere del ID de producto {a}: los programas de escritorio activan el mapa por la copia</translation>
    </message>
    <message>
        <source>the map block&apos;s copy of the product ID ({text}) differs from the product ID {a}, which does not fit 16 bits: desktop software activates the map by the copy</source>
        <translation>la copia del ID de producto en el bloque del mapa ({text}) difiere del ID de producto {a}, que no cabe en 16 bits: los programas de escritorio activan el mapa por la copia</translation>
    </message>
    <message>
        <source>the map&apos;s bounds are not an area: north {a}, east {b}, south {c}, west {d}</source>
        <translation>los límites del mapa no forman un área: norte {a}, este {b}, sur {c}, oeste {d}</translation>
    </message>
    <message>
        <source>the tile lies wholly outside the map&apos;s bounds: the unit never shows it</source>
        <translation>la tesela está por completo fuera de los límites del mapa: la unidad nunca la muestra</translation>
    </message>
    <message>
        <source>the tile begins with FF D8, which the unit adds itself</source>
        <translation>la tesela empieza por FF D8, que la unidad añade por sí misma</translation>
    </message>
    <message>
        <source>the tile is not a JPEG image up to its frame header</source>
        <translation>la tesela no es una imagen JPEG hasta su cabecera de trama</translation>
    </message>
    <message>
        <source>the tile is a progressive, lossless or arithmetic-coded JPEG (marker FF {text}): the unit shows baseline JPEG only</source>
        <translation>la tesela es un JPEG progresivo, sin pérdida o con codificación aritmética (marcador FF {text}): la unidad solo muestra JPEG de línea base</translation>
    </message>
    <message>
        <source>the JPEG is {a} x {b} pixels, the tile table says {c} x {d}</source>
        <translation>el JPEG mide {a} x {b} píxeles, la tabla de teselas dice {c} x {d}</translation>
    </message>
    <message>
        <source>{a} JNX files: a unit loads at most {b} ({c} on firmware before 2011)</source>
        <translation>{a} ficheros JNX: una unidad carga como máximo {b} ({c} con firmware anterior a 2011)</translation>
    </message>
    <message>
        <source>scale {a} shows the level from &quot;{text}&quot;, {c} zoom rows farther out than its imagery calls for (scale {b}): the unit draws many tiles far below their size; save with --fit-scales</source>
        <translation>la escala {a} muestra el nivel desde «{text}», {c} filas de zoom más lejos de lo que pide su imagen (escala {b}): la unidad dibuja muchas teselas muy por debajo de su tamaño; guarde con --fit-scales</translation>
    </message>
    <message>
        <source>scale {a} shows the level from &quot;{text}&quot;, {c} zoom rows closer in than its imagery calls for (scale {b}): its pixels show magnified; save with --fit-scales</source>
        <translation>la escala {a} muestra el nivel desde «{text}», {c} filas de zoom más cerca de lo que pide su imagen (escala {b}): sus píxeles se ven ampliados; guarde con --fit-scales</translation>
    </message>
    <message>
        <source>scale {a} lies below every zoom row, so the unit never shows the level; its imagery calls for scale {b}: save with --fit-scales</source>
        <translation>la escala {a} queda por debajo de todas las filas de zoom, así que la unidad nunca muestra el nivel; su imagen pide la escala {b}: guarde con --fit-scales</translation>
    </message>
    <message>
        <source>{a} maps on the device: units of the profile &quot;{text}&quot; load at most {b}</source>
        <translation>{a} mapas en el dispositivo: las unidades del perfil «{text}» cargan como máximo {b}</translation>
    </message>
    <message>
        <source>{a} Custom Maps images on the device: units of the profile &quot;{text}&quot; show at most {b}</source>
        <translation>{a} imágenes de Custom Maps en el dispositivo: las unidades del perfil «{text}» muestran como máximo {b}</translation>
    </message>
    <message>
        <source>maps with product ID {a} name different groups: {text}</source>
        <translation>mapas con el ID de producto {a} nombran grupos distintos: {text}</translation>
    </message>
    <message>
        <source>maps share one map GUID: {text}</source>
        <translation>mapas que comparten un mismo GUID de mapa: {text}</translation>
    </message>
    <message>
        <source>overlapping maps share draw order {a}, so the unit stacks them in no set order: {text}</source>
        <translation>mapas que se solapan comparten el orden de dibujo {a}, así que la unidad los apila sin un orden fijo: {text}</translation>
    </message>
    <message>
        <source>scale {a} is larger than that of level {b} ({c}): the levels do not run from the coarsest to the finest, as viewers that take the last matching level need; merge with --coarse-to-fine</source>
        <translation>la escala {a} es mayor que la del nivel {b} ({c}): los niveles no van del menos detallado al más detallado, como necesitan los visores que toman el último nivel que encaja; combine con --coarse-to-fine</translation>
    </message>
</context>
<context>
    <name>ui::DeviceCheckLine</name>
    <message>
        <source>error</source>
        <translation>error</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>aviso</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Correcto</translation>
    </message>
    <message>
        <source>note</source>
        <translation>nota</translation>
    </message>
    <message>
        <source>Ready for the device</source>
        <translation>Listo para el dispositivo</translation>
    </message>
    <message>
        <source>Ready for the device (%1)</source>
        <translation>Listo para el dispositivo (%1)</translation>
    </message>
    <message numerus="yes">
        <source>%Ln note(s)</source>
        <translation>
            <numerusform>%Ln nota</numerusform>
            <numerusform>%Ln notas</numerusform>
        </translation>
    </message>
    <message>
        <source>Device: not checked until the edits can be saved</source>
        <translation>Dispositivo: sin comprobar hasta que los cambios se puedan guardar</translation>
    </message>
    <message numerus="yes">
        <source>%Ln warning(s)</source>
        <translation>
            <numerusform>%Ln aviso</numerusform>
            <numerusform>%Ln avisos</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln error(s)</source>
        <translation>
            <numerusform>%Ln error</numerusform>
            <numerusform>%Ln errores</numerusform>
        </translation>
    </message>
    <message>
        <source>Device: %1</source>
        <translation>Dispositivo: %1</translation>
    </message>
    <message>
        <source>… and %L1 more</source>
        <translation>… y %L1 más</translation>
    </message>
    <message>
        <source>level %1</source>
        <translation>nivel %1</translation>
    </message>
    <message>
        <source>, tile %L1</source>
        <translation>, tesela %L1</translation>
    </message>
</context>
<context>
    <name>ui::ConvertDialogs</name>
    <message>
        <source>Import tiles</source>
        <translation>Importar teselas</translation>
    </message>
    <message>
        <source>File…</source>
        <translation>Fichero…</translation>
    </message>
    <message>
        <source>Folder…</source>
        <translation>Carpeta…</translation>
    </message>
    <message>
        <source>Browse…</source>
        <translation>Examinar…</translation>
    </message>
    <message>
        <source>An MBTiles, KMZ or KML file, a folder of tiles laid out Z/X/Y, or a georeferenced raster</source>
        <translation>Un fichero MBTiles, KMZ o KML, una carpeta de teselas ordenadas Z/X/Y o un ráster georreferenciado</translation>
    </message>
    <message>
        <source>Tiles from</source>
        <translation>Teselas de</translation>
    </message>
    <message>
        <source>Map to write</source>
        <translation>Mapa que escribir</translation>
    </message>
    <message>
        <source>JNX version</source>
        <translation>Versión JNX</translation>
    </message>
    <message>
        <source>Tile files (*.mbtiles *.sqlitedb *.kmz *.kml);;Rasters (*.tif *.tiff *.vrt *.jp2 *.png *.jpg *.jpeg);;All files (*)</source>
        <translation>Ficheros de teselas (*.mbtiles *.sqlitedb *.kmz *.kml);;Rásteres (*.tif *.tiff *.vrt *.jp2 *.png *.jpg *.jpeg);;Todos los ficheros (*)</translation>
    </message>
    <message>
        <source>The JPEG quality of a raster&apos;s tiles</source>
        <translation>La calidad JPEG de las teselas de un ráster</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automático</translation>
    </message>
    <message>
        <source>A raster&apos;s tiles are made this size; a tile source&apos;s 256-pixel tiles are joined 2 × 2 or 4 × 4 into it without re-encoding. Automatic takes the least size that keeps each level within %1 tiles</source>
        <translation>Las teselas de un ráster se hacen de este tamaño; las teselas de 256 píxeles de una fuente de teselas se unen de 2 × 2 o de 4 × 4 hasta él sin recodificarlas. Automático toma el menor tamaño con el que cada nivel no pasa de %1 teselas</translation>
    </message>
    <message>
        <source>JPEG quality</source>
        <translation>Calidad JPEG</translation>
    </message>
    <message>
        <source>Tile size</source>
        <translation>Tamaño de tesela</translation>
    </message>
    <message>
        <source>JNX file (*.jnx)</source>
        <translation>Fichero JNX (*.jnx)</translation>
    </message>
    <message>
        <source>Export map</source>
        <translation>Exportar mapa</translation>
    </message>
    <message>
        <source>KMZ ground overlays (any map)</source>
        <translation>Superposiciones KMZ (cualquier mapa)</translation>
    </message>
    <message>
        <source>MBTiles (web-map tiles only)</source>
        <translation>MBTiles (solo teselas de mapa web)</translation>
    </message>
    <message>
        <source>Levels</source>
        <translation>Niveles</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Formato</translation>
    </message>
    <message>
        <source>File to write</source>
        <translation>Fichero de salida</translation>
    </message>
    <message>
        <source>KMZ file (*.kmz)</source>
        <translation>Fichero KMZ (*.kmz)</translation>
    </message>
    <message>
        <source>MBTiles file (*.mbtiles)</source>
        <translation>Fichero MBTiles (*.mbtiles)</translation>
    </message>
    <message>
        <source>A level holds more tiles than one map takes: the map is written as volumes.</source>
        <translation>Un nivel tiene más teselas de las que admite un mapa: el mapa se escribe en volúmenes.</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 a %2</translation>
    </message>
    <message>
        <source>never: level %1 is drawn instead</source>
        <translation>nunca: se dibuja el nivel %1 en su lugar</translation>
    </message>
    <message>
        <source>never</source>
        <translation>nunca</translation>
    </message>
    <message>
        <source>%1 (%2 × %3)</source>
        <translation>%1 (%2 × %3)</translation>
    </message>
    <message>
        <source>%1 px</source>
        <translation>%1 px</translation>
    </message>
    <message>
        <source>%1 m</source>
        <translation>%1 m</translation>
    </message>
    <message>
        <source>%1 × %2 pixels, scale %3</source>
        <translation>%1 × %2 píxeles, escala %3</translation>
    </message>
    <message>
        <source>Tiles are joined %1 × %1 into larger ones without re-encoding.</source>
        <translation>Las teselas se unen de %1 × %1 en otras mayores sin volver a codificarlas.</translation>
    </message>
    <message>
        <source>%1 × %2 px</source>
        <translation>%1 × %2 px</translation>
    </message>
    <message>
        <source>%1, joined from %2</source>
        <translation>%1, unidas a partir de %2</translation>
    </message>
    <message>
        <source>scale %1</source>
        <translation>escala %1</translation>
    </message>
    <message>
        <source>Reading the source…</source>
        <translation>Leyendo el origen…</translation>
    </message>
    <message>
        <source>Levels from the raster&apos;s own resolution down, each half the resolution of the next</source>
        <translation>Niveles desde la resolución propia del ráster, cada uno con la mitad de resolución que el siguiente</translation>
    </message>
    <message>
        <source>Take the raster&apos;s own overviews for the coarser levels</source>
        <translation>Tomar las vistas generales del ráster para los niveles menos detallados</translation>
    </message>
    <message>
        <source>What tiles show where the raster has no data, or a joined tile where a neighbour is missing: white, black or #RRGGBB</source>
        <translation>Lo que muestran las teselas donde el ráster no tiene datos, o una tesela unida donde falta una vecina: white (blanco), black (negro) o #RRGGBB</translation>
    </message>
    <message>
        <source>Colour…</source>
        <translation>Color…</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Tiles</source>
        <translation>Teselas</translation>
    </message>
    <message>
        <source>Pixel size</source>
        <translation>Tamaño de píxel</translation>
    </message>
    <message>
        <source>Shown at</source>
        <translation>Se ve en</translation>
    </message>
    <message>
        <source>Levels it will make, as on %1 units</source>
        <translation>Niveles que creará, como en las unidades %1</translation>
    </message>
    <message>
        <source>Where there is no data</source>
        <translation>Donde no hay datos</translation>
    </message>
    <message>
        <source>Custom Maps (for units without BirdsEye)</source>
        <translation>Custom Maps (para unidades sin BirdsEye)</translation>
    </message>
    <message>
        <source>Custom Maps</source>
        <translation>Custom Maps</translation>
    </message>
    <message>
        <source>%1 (%2 images)</source>
        <translation>%1 (%2 imágenes)</translation>
    </message>
    <message>
        <source>A KMZ file holds at most this many images; a level that needs more is written as several files</source>
        <translation>Un archivo KMZ lleva como mucho estas imágenes; un nivel que necesita más se escribe en varios archivos</translation>
    </message>
    <message>
        <source>The finest within the budget</source>
        <translation>El más detallado que cabe</translation>
    </message>
    <message numerus="yes">
        <source>Level %1: %Ln image(s)</source>
        <translation>
            <numerusform>Nivel %1: %Ln imagen</numerusform>
            <numerusform>Nivel %1: %Ln imágenes</numerusform>
        </translation>
    </message>
    <message>
        <source>A map of a higher draw order is drawn over one of a lower</source>
        <translation>Un mapa de DrawOrder mayor se dibuja sobre uno de DrawOrder menor</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Dispositivo</translation>
    </message>
    <message>
        <source>Images per file</source>
        <translation>Imágenes por archivo</translation>
    </message>
    <message>
        <source>Level</source>
        <translation>Nivel</translation>
    </message>
    <message>
        <source>Draw order</source>
        <translation>DrawOrder</translation>
    </message>
</context>
<context>
    <name>ui::Worker</name>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Stopping…</source>
        <translation>Deteniendo…</translation>
    </message>
    <message>
        <source>%L1 of %L2 maps done</source>
        <translation>%L1 de %L2 mapas hechos</translation>
    </message>
</context>
<context>
    <name>ui::ReplaceQuestion</name>
    <message>
        <source>%1 already exists. Replace it?</source>
        <translation>%1 ya existe. ¿Reemplazarlo?</translation>
    </message>
    <message numerus="yes">
        <source>%n of the files to write already exist(s). Replace?</source>
        <translation>
            <numerusform>Ya existe %n de los ficheros que se van a escribir. ¿Reemplazarlo?</numerusform>
            <numerusform>Ya existen %n de los ficheros que se van a escribir. ¿Reemplazarlos?</numerusform>
        </translation>
    </message>
    <message>
        <source>exists: will be replaced</source>
        <translation>existe: se reemplazará</translation>
    </message>
    <message>
        <source>new</source>
        <translation>nuevo</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Fichero</translation>
    </message>
    <message>
        <source>Now</source>
        <translation>Ahora</translation>
    </message>
</context>
<context>
    <name>ui::Results</name>
    <message>
        <source>Map</source>
        <translation>Mapa</translation>
    </message>
    <message>
        <source>What was done</source>
        <translation>Qué se ha hecho</translation>
    </message>
</context>
<context>
    <name>ui::MessagePresenter</name>
    <message>
        <source>Information</source>
        <translation>Información</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Aviso</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>Pregunta</translation>
    </message>
</context>
<context>
    <name>ui::SplitOrPriority</name>
    <message>
        <source>Split this level / Prioritise level</source>
        <translation>Separar este nivel / Priorizar</translation>
    </message>
    <message>
        <source>Ticked: Save JNX marks the level as priority; Split JNX writes it as a map of its own.</source>
        <translation>Marcado: Guardar JNX lo marca como prioritario; Dividir JNX lo escribe como un mapa propio.</translation>
    </message>
    <message>
        <source>Not ticked: Save JNX clears the level&apos;s priority; Split JNX leaves it out.</source>
        <translation>Sin marcar: Guardar JNX le quita la prioridad; Dividir JNX lo deja fuera.</translation>
    </message>
    <message>
        <source>Draw order of the map among the device&apos;s maps (version 4 only)</source>
        <translation>Orden de dibujo del mapa entre los del dispositivo (solo versión 4)</translation>
    </message>
</context>
<context>
    <name>ui::DeviceProfileBox</name>
    <message>
        <source>Device</source>
        <translation>Dispositivo</translation>
    </message>
    <message>
        <source>The custom profile&apos;s threshold factor: the zoom rows&apos; scales are multiplied by it before they are compared with the levels&apos; (1 for most units, 3.5 for the GPSMAP 67)</source>
        <translation>El factor de umbral del perfil custom: las escalas de las filas de zoom se multiplican por él antes de compararlas con las de los niveles (1 en la mayoría de las unidades, 3,5 en el GPSMAP 67)</translation>
    </message>
</context>
<context>
    <name>ui::DeviceReady</name>
    <message>
        <source>Level %1: %L2 tiles joined %3 × %3 into %L4</source>
        <translation>Nivel %1: %L2 teselas unidas de %3 × %3 en %L4</translation>
    </message>
    <message numerus="yes">
        <source>%Ln progressive tile(s) written as baseline</source>
        <translation>
            <numerusform>%Ln tesela progresiva escrita como baseline</numerusform>
            <numerusform>%Ln teselas progresivas escritas como baseline</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln tile(s) stripped of their FF D8</source>
        <translation>
            <numerusform>%Ln tesela sin su FF D8</numerusform>
            <numerusform>%Ln teselas sin su FF D8</numerusform>
        </translation>
    </message>
    <message>
        <source>The product ID&apos;s copy put in step</source>
        <translation>La copia del ID de producto puesta al día</translation>
    </message>
    <message>
        <source>Draw order %1 clamped to %2</source>
        <translation>DrawOrder %1 llevado a %2</translation>
    </message>
    <message>
        <source>Split JNX writes levels as maps of their own.</source>
        <translation>Dividir JNX escribe niveles como mapas propios.</translation>
    </message>
    <message>
        <source>Fit scales gives each level a scale of its own.</source>
        <translation>Ajustar escalas da a cada nivel una escala propia.</translation>
    </message>
    <message>
        <source>Make device-ready</source>
        <translation>Preparar para el dispositivo</translation>
    </message>
    <message>
        <source>Mend without loss what keeps the map from the %1 units, in a new file NAME_fit.jnx beside it</source>
        <translation>Reparar sin pérdida lo que impide usar el mapa en las unidades %1, en un archivo nuevo NOMBRE_fit.jnx a su lado</translation>
    </message>
    <message>
        <source>Cancelled: nothing was written.</source>
        <translation>Cancelado: no se ha escrito nada.</translation>
    </message>
    <message>
        <source>%1 could not be made device-ready:</source>
        <translation>No se ha podido preparar %1 para el dispositivo:</translation>
    </message>
    <message>
        <source>%1 is ready for the device: nothing to do, nothing written.</source>
        <translation>%1 ya está listo para el dispositivo: nada que hacer, no se ha escrito nada.</translation>
    </message>
    <message>
        <source>Written: %1</source>
        <translation>Escrito: %1</translation>
    </message>
    <message>
        <source>Nothing in %1 can be mended without loss; nothing written.</source>
        <translation>Nada de %1 se puede reparar sin pérdida; no se ha escrito nada.</translation>
    </message>
    <message>
        <source>Mended:</source>
        <translation>Reparado:</translation>
    </message>
    <message>
        <source>Not mended:</source>
        <translation>No reparado:</translation>
    </message>
    <message>
        <source>Still found:</source>
        <translation>Sigue habiendo:</translation>
    </message>
    <message>
        <source>What to do:</source>
        <translation>Qué hacer:</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>error: %1</translation>
    </message>
    <message>
        <source>ready; nothing written</source>
        <translation>listo; no se ha escrito nada</translation>
    </message>
    <message>
        <source>nothing can be mended without loss</source>
        <translation>nada se puede reparar sin pérdida</translation>
    </message>
    <message>
        <source>made device-ready: %1</source>
        <translation>preparado para el dispositivo: %1</translation>
    </message>
    <message>
        <source>partly mended: %1; %2</source>
        <translation>reparado en parte: %1; %2</translation>
    </message>
</context>
</TS>
