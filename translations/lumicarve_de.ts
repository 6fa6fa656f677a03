<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Lumicarve</name>
    <message>
        <source>unsorted</source>
        <translation>unsortiert</translation>
    </message>
    <message>
        <source>Search files</source>
        <translation>Dateien suchen</translation>
    </message>
    <message>
        <source>Recover files</source>
        <translation>Dateien wiederherstellen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>No files or folders selected</source>
        <translation>Keine Dateien oder Ordner ausgewählt</translation>
    </message>
    <message>
        <source>Select destination folder</source>
        <translation>Zielordner auswählen</translation>
    </message>
    <message>
        <source>Invalid folder location</source>
        <translation>Ungültiger Ordner</translation>
    </message>
    <message>
        <source>Destination drive cannot be the same as the source drive.
This would reduce the possibility to recover files.
</source>
        <translation>Das Ziellaufwerk darf nicht das Quelllaufwerk sein.
Das würde die Aussicht verringern, die Dateien wiederherzustellen.
</translation>
    </message>
    <message>
        <source>File recovery in progress.
Please cancel before closing the application.</source>
        <translation>Die Wiederherstellung läuft.
Bitte brechen Sie sie ab, bevor Sie das Programm beenden.</translation>
    </message>
    <message>
        <source>Scan completed.</source>
        <translation>Suche abgeschlossen.</translation>
    </message>
    <message>
        <source>files found</source>
        <translation>Dateien gefunden</translation>
    </message>
    <message>
        <source>Select folders or files and press the &apos;Recover files&apos; button to save the files.</source>
        <translation>Wählen Sie Ordner oder Dateien aus und klicken Sie auf „Dateien wiederherstellen“, um die Dateien zu speichern.</translation>
    </message>
    <message>
        <source>Insufficient disk space on</source>
        <translation>Nicht genügend Speicherplatz auf</translation>
    </message>
    <message>
        <source>required</source>
        <translation>benötigt</translation>
    </message>
    <message>
        <source>available</source>
        <translation>verfügbar</translation>
    </message>
    <message>
        <source>No files found</source>
        <translation>Keine Dateien gefunden</translation>
    </message>
    <message>
        <source>Error writing</source>
        <translation>Fehler beim Schreiben von</translation>
    </message>
    <message>
        <source>Control Toolbar</source>
        <translation>Steuerleiste</translation>
    </message>
    <message>
        <source>Windows video</source>
        <translation>Windows-Video</translation>
    </message>
    <message>
        <source>Windows bitmap</source>
        <translation>Windows-Bitmap</translation>
    </message>
    <message>
        <source>CompuServe GIF</source>
        <translation>CompuServe-GIF</translation>
    </message>
    <message>
        <source>JPEG file</source>
        <translation>JPEG-Datei</translation>
    </message>
    <message>
        <source>QuickTime video</source>
        <translation>QuickTime-Video</translation>
    </message>
    <message>
        <source>MPEG video</source>
        <translation>MPEG-Video</translation>
    </message>
    <message>
        <source>Portable network graphics</source>
        <translation>Portable Network Graphics</translation>
    </message>
    <message>
        <source>Tagged image file format</source>
        <translation>Tagged Image File Format</translation>
    </message>
    <message>
        <source>Windows media video</source>
        <translation>Windows-Media-Video</translation>
    </message>
    <message>
        <source>AVCHD video</source>
        <translation>AVCHD-Video</translation>
    </message>
    <message>
        <source>Please select one or more file formats</source>
        <translation>Bitte wählen Sie mindestens ein Dateiformat aus</translation>
    </message>
    <message>
        <source>3GPP video</source>
        <translation>3GPP-Video</translation>
    </message>
    <message>
        <source>MP4 video</source>
        <translation>MP4-Video</translation>
    </message>
    <message>
        <source>Canon RAW v2</source>
        <translation>Canon-RAW v2</translation>
    </message>
    <message>
        <source>Nikon RAW</source>
        <translation>Nikon-RAW</translation>
    </message>
    <message>
        <source>Pentax RAW</source>
        <translation>Pentax-RAW</translation>
    </message>
    <message>
        <source>Olympus RAW</source>
        <translation>Olympus-RAW</translation>
    </message>
    <message>
        <source>Digital Negative</source>
        <translation>Digital Negative (DNG)</translation>
    </message>
    <message>
        <source>Sony RAW</source>
        <translation>Sony-RAW</translation>
    </message>
    <message>
        <source>Panasonic RAW</source>
        <translation>Panasonic-RAW</translation>
    </message>
    <message>
        <source>Samsung RAW</source>
        <translation>Samsung-RAW</translation>
    </message>
    <message>
        <source>bytes</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>KB</source>
        <translation>KB</translation>
    </message>
    <message>
        <source>n/a</source>
        <translation>k. A.</translation>
    </message>
    <message>
        <source>File preview not available while drive is being scanned.</source>
        <translation>Die Dateivorschau ist nicht verfügbar, solange das Laufwerk durchsucht wird.</translation>
    </message>
    <message>
        <source>MB</source>
        <translation>MB</translation>
    </message>
    <message>
        <source>Extraction complete</source>
        <translation>Wiederherstellung abgeschlossen</translation>
    </message>
    <message>
        <source>Error opening manual</source>
        <translation>Fehler beim Öffnen des Handbuchs</translation>
    </message>
    <message>
        <source>error code</source>
        <translation>Fehlercode</translation>
    </message>
    <message>
        <source>The device is no longer available. The scan was stopped at %s MB.</source>
        <translation>Das Gerät ist nicht mehr verfügbar. Die Suche wurde bei %s MB angehalten.</translation>
    </message>
    <message>
        <source>Error reading</source>
        <translation>Fehler beim Lesen von</translation>
    </message>
    <message>
        <source>%d disks need your permission to be read: select one and Lumicarve asks for it.</source>
        <translation>%d Datenträger können nur mit Ihrer Erlaubnis gelesen werden: Wählen Sie einen aus, dann fragt Lumicarve danach.</translation>
    </message>
    <message>
        <source>1 disk needs your permission to be read: select it and Lumicarve asks for it.</source>
        <translation>1 Datenträger kann nur mit Ihrer Erlaubnis gelesen werden: Wählen Sie ihn aus, dann fragt Lumicarve danach.</translation>
    </message>
    <message>
        <source>No disk to scan. Insert a card, or open a disk image (File &gt; Open disk image...).</source>
        <translation>Kein Datenträger zum Durchsuchen. Stecken Sie eine Karte ein oder öffnen Sie ein Datenträgerabbild (Datei &gt; Datenträgerabbild öffnen...).</translation>
    </message>
    <message>
        <source>Cannot open the disk image:</source>
        <translation>Das Datenträgerabbild kann nicht geöffnet werden:</translation>
    </message>
    <message>
        <source>Lumicarve needs permission to read %s, and udisks2, the system service that asks for it, is not running. Install the udisks2 package (it starts when asked), or scan the disk with lumicarve-cli run with sudo.</source>
        <translation>Lumicarve braucht die Erlaubnis, %s zu lesen, aber udisks2, der Systemdienst, der danach fragt, läuft nicht. Installieren Sie das Paket udisks2 (es startet bei Bedarf) oder durchsuchen Sie den Datenträger mit lumicarve-cli, aufgerufen mit sudo.</translation>
    </message>
    <message>
        <source>Permission to read %s was not given. Select the disk again to be asked once more, or scan it with lumicarve-cli run with sudo.</source>
        <translation>Die Erlaubnis, %s zu lesen, wurde nicht erteilt. Wählen Sie den Datenträger erneut aus, um noch einmal gefragt zu werden, oder durchsuchen Sie ihn mit lumicarve-cli, aufgerufen mit sudo.</translation>
    </message>
    <message>
        <source>%s could not be opened for reading:</source>
        <translation>%s konnte nicht zum Lesen geöffnet werden:</translation>
    </message>
    <message>
        <source>%d disks could not be opened: install udisks2 so that Lumicarve can ask for permission to read them, or scan them with lumicarve-cli run with sudo.</source>
        <translation>%d Datenträger konnten nicht geöffnet werden: Installieren Sie udisks2, damit Lumicarve um die Erlaubnis bitten kann, sie zu lesen, oder durchsuchen Sie sie mit lumicarve-cli, aufgerufen mit sudo.</translation>
    </message>
    <message>
        <source>1 disk could not be opened: install udisks2 so that Lumicarve can ask for permission to read it, or scan it with lumicarve-cli run with sudo.</source>
        <translation>1 Datenträger konnte nicht geöffnet werden: Installieren Sie udisks2, damit Lumicarve um die Erlaubnis bitten kann, ihn zu lesen, oder durchsuchen Sie ihn mit lumicarve-cli, aufgerufen mit sudo.</translation>
    </message>
    <message>
        <source>Lumicarve could not ask for permission to read %s: no permission prompt (polkit authentication agent) runs in this session. Log in to a desktop session, or scan the disk with lumicarve-cli run with sudo.</source>
        <translation>Lumicarve konnte nicht um die Erlaubnis bitten, %s zu lesen: In dieser Sitzung läuft keine Berechtigungsabfrage (polkit-Authentifizierungsagent). Melden Sie sich an einer Desktop-Sitzung an oder durchsuchen Sie den Datenträger mit lumicarve-cli, aufgerufen mit sudo.</translation>
    </message>
    <message>
        <source>Invalid image file</source>
        <translation>Ungültige Bilddatei</translation>
    </message>
    <message>
        <source>Please enter a positive integer.</source>
        <translation>Bitte geben Sie eine positive ganze Zahl ein.</translation>
    </message>
    <message>
        <source>Lumicarve cannot tell which disk holds the destination folder, so it could lie on the source drive. Choose a folder on another drive.</source>
        <translation>Lumicarve kann nicht feststellen, auf welchem Datenträger der Zielordner liegt; er könnte sich auf dem Quelllaufwerk befinden. Wählen Sie einen Ordner auf einem anderen Laufwerk.</translation>
    </message>
    <message>
        <source>HEIF image</source>
        <translation>HEIF-Bild</translation>
    </message>
    <message>
        <source>AVIF image</source>
        <translation>AVIF-Bild</translation>
    </message>
    <message>
        <source>WebP image</source>
        <translation>WebP-Bild</translation>
    </message>
    <message>
        <source>Matroska video</source>
        <translation>Matroska-Video</translation>
    </message>
    <message>
        <source>WebM video</source>
        <translation>WebM-Video</translation>
    </message>
    <message>
        <source>Canon RAW v3</source>
        <translation>Canon-RAW v3</translation>
    </message>
    <message>
        <source>Fujifilm RAW</source>
        <translation>Fujifilm-RAW</translation>
    </message>
    <message>
        <source>January</source>
        <translation>Januar</translation>
    </message>
    <message>
        <source>February</source>
        <translation>Februar</translation>
    </message>
    <message>
        <source>March</source>
        <translation>März</translation>
    </message>
    <message>
        <source>April</source>
        <translation>April</translation>
    </message>
    <message>
        <source>May</source>
        <translation>Mai</translation>
    </message>
    <message>
        <source>June</source>
        <translation>Juni</translation>
    </message>
    <message>
        <source>July</source>
        <translation>Juli</translation>
    </message>
    <message>
        <source>August</source>
        <translation>August</translation>
    </message>
    <message>
        <source>September</source>
        <translation>September</translation>
    </message>
    <message>
        <source>October</source>
        <translation>Oktober</translation>
    </message>
    <message>
        <source>November</source>
        <translation>November</translation>
    </message>
    <message>
        <source>December</source>
        <translation>Dezember</translation>
    </message>
    <message>
        <source>1 byte</source>
        <translation>1 Byte</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 Bytes</translation>
    </message>
    <message>
        <source>[image]</source>
        <translation>[Abbild]</translation>
    </message>
    <message>
        <source>the device table is full</source>
        <translation>die Geräteliste ist voll</translation>
    </message>
    <message>
        <source>cannot open %1: %2</source>
        <translation>%1 lässt sich nicht öffnen: %2</translation>
    </message>
    <message>
        <source>%1 is neither a disk image file nor a block device</source>
        <translation>%1 ist weder eine Abbilddatei noch ein Blockgerät</translation>
    </message>
    <message>
        <source>cannot read the size of %1: %2</source>
        <translation>die Größe von %1 lässt sich nicht lesen: %2</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>%1 lässt sich nicht lesen: %2</translation>
    </message>
    <message>
        <source>devices nested too deep</source>
        <translation>Geräte zu tief verschachtelt</translation>
    </message>
    <message>
        <source>no block device %1 in /sys</source>
        <translation>kein Blockgerät %1 in /sys</translation>
    </message>
    <message>
        <source>the disk of partition %1 is unknown</source>
        <translation>der Datenträger der Partition %1 ist unbekannt</translation>
    </message>
    <message>
        <source>the devices under %1 are unknown</source>
        <translation>die Geräte unter %1 sind unbekannt</translation>
    </message>
    <message>
        <source>no mount of %1 holding %2</source>
        <translation>keine Einhängung von %1, die %2 enthält</translation>
    </message>
    <message>
        <source>%1 from %2 at %3 is on no known device</source>
        <translation>%1 von %2 unter %3 liegt auf keinem bekannten Gerät</translation>
    </message>
    <message>
        <source>cannot ask btrfs at %1 for its devices</source>
        <translation>btrfs unter %1 nennt seine Geräte nicht</translation>
    </message>
    <message>
        <source>no devices listed for btrfs at %1</source>
        <translation>für btrfs unter %1 sind keine Geräte aufgeführt</translation>
    </message>
    <message>
        <source>btrfs device %1 at %2 is unknown</source>
        <translation>das btrfs-Gerät %1 unter %2 ist unbekannt</translation>
    </message>
    <message>
        <source>the file behind %1 (%2) is gone</source>
        <translation>die Datei hinter %1 (%2) ist nicht mehr da</translation>
    </message>
    <message>
        <source>the source cannot be examined</source>
        <translation>die Quelle lässt sich nicht prüfen</translation>
    </message>
    <message>
        <source>a loop device backed by the scanned image</source>
        <translation>ein Loop-Gerät über dem durchsuchten Abbild</translation>
    </message>
    <message>
        <source>block device %1</source>
        <translation>Blockgerät %1</translation>
    </message>
</context>
<context>
    <name>OpenManual</name>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 existiert nicht.</translation>
    </message>
    <message>
        <source>No program to show PDF files opened %1.</source>
        <translation>Kein Programm zum Anzeigen von PDF-Dateien hat %1 geöffnet.</translation>
    </message>
</context>
<context>
    <name>RecoveryTargetDialog</name>
    <message>
        <source>%Y: year
%M: month
%D: day
%xN: sequence number where x = number of digits
%O: original file name
%P: original folder
\ or /: folder</source>
        <translation>%Y: Jahr
%M: Monat
%D: Tag
%xN: laufende Nummer mit x Stellen
%O: ursprünglicher Dateiname
%P: ursprünglicher Ordner
\ oder /: Ordner</translation>
    </message>
</context>
<context>
    <name>lumicarve::AboutBox</name>
    <message>
        <source>About Lumicarve</source>
        <translation>Über Lumicarve</translation>
    </message>
    <message>
        <source>Lumicarve</source>
        <translation>Lumicarve</translation>
    </message>
    <message>
        <source>Version 1.00</source>
        <translation>Version 1.00</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>lumicarve::CLumicarveView</name>
    <message>
        <source>Select all files</source>
        <translation>Alle Dateien auswählen</translation>
    </message>
    <message>
        <source>Recover selected files</source>
        <translation>Ausgewählte Dateien wiederherstellen</translation>
    </message>
</context>
<context>
    <name>lumicarve::CMainFrame</name>
    <message>
        <source>Choose a device and press &quot;Search files&quot; (F5) to look for lost photos and videos.</source>
        <translation>Wählen Sie ein Gerät und klicken Sie auf „Dateien suchen“ (F5), um nach verlorenen Fotos und Videos zu suchen.</translation>
    </message>
    <message>
        <source>Folder View</source>
        <translation>Ordneransicht</translation>
    </message>
    <message>
        <source>Open disk image</source>
        <translation>Datenträgerabbild öffnen</translation>
    </message>
    <message>
        <source>Files without a date are listed here when the scan is over.</source>
        <translation>Dateien ohne Datum erscheinen hier, sobald die Suche beendet ist.</translation>
    </message>
    <message>
        <source>No files in this folder.</source>
        <translation>Keine Dateien in diesem Ordner.</translation>
    </message>
    <message>
        <source>Select a folder in the Folder View to list its files.</source>
        <translation>Wählen Sie einen Ordner in der Ordneransicht, um seine Dateien aufzulisten.</translation>
    </message>
    <message>
        <source>&amp;Open disk image...</source>
        <translation>Datenträgerabbild ö&amp;ffnen...</translation>
    </message>
    <message>
        <source>Op&amp;tions...</source>
        <translation>&amp;Optionen...</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Control toolbar</source>
        <translation>&amp;Steuerleiste</translation>
    </message>
    <message>
        <source>&amp;Folder view</source>
        <translation>&amp;Ordneransicht</translation>
    </message>
    <message>
        <source>&amp;Original file names</source>
        <translation>Ursprüngliche &amp;Dateinamen</translation>
    </message>
    <message>
        <source>&amp;Deleted files only</source>
        <translation>&amp;Nur gelöschte Dateien</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>&amp;Aktualisieren</translation>
    </message>
    <message>
        <source>&amp;Manual</source>
        <translation>&amp;Handbuch</translation>
    </message>
    <message>
        <source>&amp;About Lumicarve...</source>
        <translation>Ü&amp;ber Lumicarve...</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message numerus="yes">
        <source>%1 found files have not been recovered and will be discarded.</source>
        <translation>
            <numerusform>%1 gefundene Datei wurde nicht wiederhergestellt und wird verworfen.</numerusform>
            <numerusform>%1 gefundene Dateien wurden nicht wiederhergestellt und werden verworfen.</numerusform>
        </translation>
    </message>
    <message>
        <source>Recover them first with &quot;Recover files&quot;, or discard them.</source>
        <translation>Stellen Sie sie zuerst mit „Dateien wiederherstellen“ wieder her oder verwerfen Sie sie.</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
    <message>
        <source>Progress: cancelled</source>
        <translation>Fortschritt: abgebrochen</translation>
    </message>
    <message numerus="yes">
        <source>Scan cancelled at %1: %2 files found.</source>
        <translation>
            <numerusform>Suche bei %1 abgebrochen: %2 Datei gefunden.</numerusform>
            <numerusform>Suche bei %1 abgebrochen: %2 Dateien gefunden.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Scan completed: %1 files found.</source>
        <translation>
            <numerusform>Suche abgeschlossen: %1 Datei gefunden.</numerusform>
            <numerusform>Suche abgeschlossen: %1 Dateien gefunden.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n disk(s) could not be opened.</source>
        <translation>
            <numerusform>%n Datenträger konnte nicht geöffnet werden.</numerusform>
            <numerusform>%n Datenträger konnten nicht geöffnet werden.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 files found</source>
        <translation>
            <numerusform>%1 Datei gefunden</numerusform>
            <numerusform>%1 Dateien gefunden</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>lumicarve::ControlPane</name>
    <message>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Show thumbnails</source>
        <translation>Miniaturbilder zeigen</translation>
    </message>
    <message>
        <source>Elapsed:</source>
        <translation>Verstrichen:</translation>
    </message>
    <message>
        <source>Remaining:</source>
        <translation>Verbleibend:</translation>
    </message>
    <message>
        <source>Position:</source>
        <translation>Position:</translation>
    </message>
    <message>
        <source>Errors:</source>
        <translation>Fehler:</translation>
    </message>
    <message>
        <source>Files found:</source>
        <translation>Gefundene Dateien:</translation>
    </message>
    <message>
        <source>Total length:</source>
        <translation>Gesamtgröße:</translation>
    </message>
</context>
<context>
    <name>lumicarve::FilePreviewDialog</name>
    <message>
        <source>not known to the file system</source>
        <translation>dem Dateisystem nicht bekannt</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>still present</source>
        <translation>noch vorhanden</translation>
    </message>
    <message>
        <source>deleted</source>
        <translation>gelöscht</translation>
    </message>
    <message>
        <source>File preview</source>
        <translation>Dateivorschau</translation>
    </message>
    <message>
        <source>&lt; &amp;Previous</source>
        <translation>&lt; &amp;Zurück</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;Next &gt;</source>
        <translation>&amp;Weiter &gt;</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Length:</source>
        <translation>Größe:</translation>
    </message>
    <message>
        <source>Date / time:</source>
        <translation>Datum / Uhrzeit:</translation>
    </message>
    <message>
        <source>Camera:</source>
        <translation>Kamera:</translation>
    </message>
    <message>
        <source>On the card:</source>
        <translation>Auf der Karte:</translation>
    </message>
</context>
<context>
    <name>lumicarve::OptionsDialog</name>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Folder / filename</source>
        <translation>Ordner / Dateiname</translation>
    </message>
    <message>
        <source>File scan options</source>
        <translation>Optionen der Dateisuche</translation>
    </message>
    <message>
        <source>Only pictures</source>
        <translation>Nur Bilder</translation>
    </message>
    <message>
        <source>Only videos</source>
        <translation>Nur Videos</translation>
    </message>
    <message>
        <source>Select all</source>
        <translation>Alle auswählen</translation>
    </message>
    <message>
        <source>Select none</source>
        <translation>Keine auswählen</translation>
    </message>
    <message>
        <source>Ignore files with a file size below</source>
        <translation>Dateien ignorieren, die kleiner sind als</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>lumicarve::RecoveryDialog</name>
    <message>
        <source>Recovering files</source>
        <translation>Dateien werden wiederhergestellt</translation>
    </message>
    <message>
        <source>Writing:</source>
        <translation>Wird geschrieben:</translation>
    </message>
    <message>
        <source>Elapsed:</source>
        <translation>Verstrichen:</translation>
    </message>
    <message>
        <source>Remaining:</source>
        <translation>Verbleibend:</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message numerus="yes">
        <source>%1 files saved in %2.</source>
        <translation>
            <numerusform>%1 Datei in %2 gespeichert.</numerusform>
            <numerusform>%1 Dateien in %2 gespeichert.</numerusform>
        </translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Ordner öffnen</translation>
    </message>
</context>
<context>
    <name>lumicarve::RecoveryTargetDialog</name>
    <message>
        <source>&amp;Browse...</source>
        <translation>&amp;Durchsuchen...</translation>
    </message>
    <message>
        <source>&amp;Save to:</source>
        <translation>&amp;Speichern in:</translation>
    </message>
    <message>
        <source>File &amp;names:</source>
        <translation>Datei&amp;namen:</translation>
    </message>
    <message>
        <source>First file:</source>
        <translation>Erste Datei:</translation>
    </message>
</context>
</TS>
