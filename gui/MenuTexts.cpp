#include "gui/MenuTexts.h"

#include "gui/CommandIds.h"

namespace sondesk {

namespace {
const MenuItemText kSeparator{0, {"", "", "", "", ""}, ""};
}  // namespace

// Columns: Italian, English, French, German, Spanish.
const std::vector<MenuText5>& MainMenus() {
  static const std::vector<MenuText5> menus = {
      {{"&File", "&File", "&Fichier", "&Datei", "&Archivo"},
       {
           {cmd::kPrint,
            {"&Stampa...", "&Print...", "&Imprimer...", "&Drucken...", "&Imprimir..."},
            "Ctrl+P"},
           {cmd::kSaveDatabase,
            {"Salva &Database (.TXT per Excel, Winword)...", "Save &Database (.TXT for Excel, Winword)...",
             "Enregistrer la base de &données (.TXT pour Excel, Winword)...",
             "&Datenbank speichern (.TXT für Excel, Winword)...",
             "Guardar base de &datos (.TXT para Excel, Winword)..."},
            "Ctrl+S"},
           {cmd::kSongbook,
            {"&Canzoniere (PDF)...", "Song&book (PDF)...", "&Recueil de chansons (PDF)...",
             "&Liederbuch (PDF)...", "&Cancionero (PDF)..."},
            ""},
           kSeparator,
           {cmd::kImportFromPc,
            {"&Importa da PC...", "&Import from PC...", "&Importer depuis le PC...", "Vom PC &importieren...",
             "&Importar desde el PC..."},
            "Ctrl+O"},
           {cmd::kImportFromFloppy,
            {"Importa da &Floppy", "Import from &Floppy", "Importer depuis la &disquette",
             "Von Dis&kette importieren", "Importar desde &disquete"},
            ""},
           {cmd::kImportFromInternet,
            {"Importa da I&nternet...", "Import from I&nternet...", "Importer depuis I&nternet...",
             "Aus dem I&nternet importieren...", "Importar desde I&nternet..."},
            ""},
           kSeparator,
           {cmd::kTransferToCard,
            {"&Trasferisci Computer -> Flash", "&Transfer Computer -> Flash",
             "&Transférer Ordinateur -> Flash", "Ü&bertragen Computer -> Flash",
             "&Transferir Ordenador -> Flash"},
            "Alt+Down"},
           {cmd::kTransferFromCard,
            {"T&rasferisci Flash -> Computer", "T&ransfer Flash -> Computer",
             "T&ransférer Flash -> Ordinateur", "Übe&rtragen Flash -> Computer",
             "T&ransferir Flash -> Ordenador"},
            "Alt+Up"},
           kSeparator,
           {cmd::kChooseDownloadDir,
            {"S&cegli la cartella di download...", "&Choose Download Directory...",
             "&Choisir le dossier de téléchargement...", "Download-&Ordner wählen...",
             "&Elegir la carpeta de descarga..."},
            ""},
           {cmd::kConnect,
            {"C&onnetti Sonvar...", "C&onnect Sonvar...", "C&onnecter Sonvar...", "Sonvar &verbinden...",
             "C&onectar Sonvar..."},
            "F5"},
           {cmd::kFormatCard,
            {"For&matta Sonflash", "For&mat Sonflash", "For&mater Sonflash", "Sonflash for&matieren",
             "For&matear Sonflash"},
            ""},
           kSeparator,
           {cmd::kExit, {"&Esci", "E&xit", "&Quitter", "&Beenden", "&Salir"}, "Ctrl+Q"},
       }},
      {{"&Modifica", "&Modify", "É&dition", "&Bearbeiten", "&Edición"},
       {
           {cmd::kFind, {"&Trova...", "&Find...", "&Rechercher...", "&Suchen...", "&Buscar..."}, "Ctrl+F"},
           kSeparator,
           {cmd::kSelectAllLibrary,
            {"Seleziona tutti i file dell'&Hard Disk", "Select all &Hard Disk Files",
             "Sélectionner tous les fichiers du &disque dur", "Alle Dateien der &Festplatte auswählen",
             "Seleccionar todos los archivos del &disco duro"},
            ""},
           {cmd::kSelectNotOnCard,
            {"Seleziona i file non presenti nella &Card", "Select Files not present in &Card",
             "Sélectionner les fichiers absents de la &carte",
             "Dateien auswählen, die nicht auf der &Karte sind",
             "Seleccionar los archivos que no están en la &tarjeta"},
            ""},
           {cmd::kSelectNotOnLibrary,
            {"Seleziona i file non presenti nell'Hard &Disk", "Select Files not present in Hard &Disk",
             "Sélectionner les fichiers absents du disque d&ur",
             "Dateien auswählen, die nicht auf der Festplatte &sind",
             "Seleccionar los archivos que no están en el disco d&uro"},
            ""},
           kSeparator,
           {cmd::kEditInfo,
            {"Modifica &info...", "Edit &Info...", "Modifier les &informations...", "&Info bearbeiten...",
             "Editar &información..."},
            "Ctrl+E"},
           {cmd::kDeleteSong,
            {"C&ancella song", "De&lete Song", "Su&pprimer la chanson", "Song &löschen", "B&orrar canción"},
            ""},
       }},
      {{"S&trumenti", "&Tools", "&Outils", "E&xtras", "&Herramientas"},
       {
           {cmd::kPlay, {"&Play", "&Play", "&Lecture", "&Abspielen", "&Reproducir"}, "Ctrl+Space"},
           {cmd::kStop, {"&Stop", "&Stop", "&Arrêt", "&Stopp", "&Detener"}, "Ctrl+."},
           {cmd::kMidiSetup,
            {"&Configurazione MIDI...", "&Midi Setup...", "&Configuration MIDI...", "&MIDI-Einstellungen...",
             "&Configuración MIDI..."},
            ""},
           kSeparator,
           {cmd::kIndexRegeneration,
            {"&Rigenerazione indici", "&Index Regeneration", "Régé&nération des index",
             "&Index neu erstellen", "Regeneración de &índices"},
            ""},
           {cmd::kPlaylist,
            {"P&laylist", "P&laylist", "Listes de &lecture", "P&laylists", "&Listas de reproducción"},
            "Ctrl+L"},
           {cmd::kUpdateFirmware,
            {"&Aggiorna Sonvar", "&Update Sonvar", "&Mettre à jour Sonvar", "Sonvar a&ktualisieren",
             "&Actualizar Sonvar"},
            ""},
       }},
      {{"&Proprietà", "&Properties", "&Propriétés", "&Eigenschaften", "&Propiedades"},
       {
           {cmd::kPlayerOptions,
            {"&Opzioni SONVAR...", "SONVAR &Options...", "&Options SONVAR...", "SONVAR-&Optionen...",
             "&Opciones SONVAR..."},
            ""},
           {cmd::kProgramSettings,
            {"&Impostazioni programma...", "Program &Settings...", "&Paramètres du programme...",
             "&Programmeinstellungen...", "&Configuración del programa..."},
            "Ctrl+,"},
       }},
      {{"&?", "&?", "&?", "&?", "&?"},
       {
           {cmd::kCardReport,
            {"&Rapporto Sonflash parallela...", "&Report Sonflash Parallel...",
             "&Rapport Sonflash parallèle...", "Sonflash-&Bericht (parallel)...",
             "&Informe Sonflash paralelo..."},
            ""},
           kSeparator,
           {cmd::kAbout,
            {"&Informazioni su Sondesk", "&About Sondesk", "À &propos de Sondesk", "Ü&ber Sondesk",
             "&Acerca de Sondesk"},
            "F1"},
       }},
  };
  return menus;
}

const char* MenuTextOf(int command, int language) {
  if (language < 0 || language >= kLanguageCount) language = 1;
  for (const MenuText5& menu : MainMenus()) {
    for (const MenuItemText& item : menu.items) {
      if (item.command == command) return item.text[static_cast<std::size_t>(language)];
    }
  }
  return nullptr;
}

}  // namespace sondesk
