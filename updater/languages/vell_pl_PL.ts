<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pl_PL" sourcelanguage="en">
<context>
    <name>Updater_Changelog_MainWindow</name>
    <message>
        <source>Update</source>
        <translation>Aktualizuj</translation>
    </message>
    <message>
        <source>Vellnet IM update</source>
        <translation>Aktualizacja komunikatora Vellnet</translation>
    </message>
    <message>
        <source>Vellnet instant messenger update is available. Do you wish to download it now?</source>
        <translation>Są dostępne aktualizacje dla komunikatora Vellnet. Czy chcesz pobrać je teraz?</translation>
    </message>
    <message>
        <source>Show changelog</source>
        <translation>Pokaż listę zmian</translation>
    </message>
    <message>
        <source>Download now</source>
        <translation>Pobierz teraz</translation>
    </message>
    <message>
        <source>Download later</source>
        <translation>Pobierz później</translation>
    </message>
</context>
<context>
    <name>Updater_Download_MainWindow</name>
    <message>
        <source>Update</source>
        <translation>Aktualizuj</translation>
    </message>
    <message>
        <source>Vellnet IM update</source>
        <translation>Aktualizacja komunikatora Vellnet</translation>
    </message>
    <message>
        <source>Downloading...</source>
        <translation>Pobieranie...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Anuluj</translation>
    </message>
</context>
<context>
    <name>Updater_Install_MainWindow</name>
    <message>
        <source>Update</source>
        <translation>Aktualizuj</translation>
    </message>
    <message>
        <source>Vellnet IM update</source>
        <translation>Aktualizacja komunikatora Vellnet</translation>
    </message>
    <message>
        <source>Installing...</source>
        <translation>Instalacja...</translation>
    </message>
</context>
<context>
    <name>Updater_Summary_MainWindow</name>
    <message>
        <source>Update</source>
        <translation>Aktualizuj</translation>
    </message>
    <message>
        <source>Installation complete</source>
        <translation>Aktualizacje zainstalowane pomyślnie</translation>
    </message>
    <message>
        <source>To complete the update process please restart Vellnet instant messenger.</source>
        <translation>By zakończyć proces instalacji należy uruchomić ponownie komunikator.</translation>
    </message>
    <message>
        <source>View details</source>
        <translation>Pokaż szczegóły</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Zamknij</translation>
    </message>
</context>
<context>
    <name>translation</name>
    <message>
        <source>Update</source>
        <comment>program update</comment>
        <translation>Aktualizuj</translation>
    </message>
    <message>
        <source>Update</source>
        <comment>nc</comment>
        <translation>Aktualizuj</translation>
    </message>
    <message>
        <source>No updates available.</source>
        <comment>nc</comment>
        <translation>Brak dostępnych aktualizacji.</translation>
    </message>
    <message>
        <source>Show changelog</source>
        <comment>nc</comment>
        <translation>Pokaż listę zmian</translation>
    </message>
    <message>
        <source>Hide changelog</source>
        <comment>nc</comment>
        <translation>Ukryj listę zmian</translation>
    </message>
    <message>
        <source>Installation failed</source>
        <comment>nc</comment>
        <translation>Aktualizacja nie powiodła się</translation>
    </message>
    <message>
        <source>Please reinstall application with package from official web page</source>
        <comment>nc</comment>
        <translation>Pobierz pakiet instalacyjny komunikatora Vellnet ze strony www.vell.example i zainstaluj go ponownie.</translation>
    </message>
    <message>
        <source>Check updates</source>
        <comment>nc</comment>
        <translation>Sprawdzanie aktualizacji</translation>
    </message>
    <message>
        <source>Couldn't connect to update server. Check your internet connection.</source>
        <comment>nc</comment>
        <translation>Nie można połączyć się z serwerem aktualizacji. Sprawdź połączenie z internetem.</translation>
    </message>
    <message>
        <source>The client program %1 could not be started: %2</source>
        <comment>nc</comment>
        <translation>Nie można uruchomić programu klienta %1: %2</translation>
    </message>
    <message>
        <source>The client program %1 was ended by signal %2 (%3).</source>
        <comment>nc</comment>
        <translation>Program klienta %1 został zakończony sygnałem %2 (%3).</translation>
    </message>
    <message>
        <source>The client program %1 ended with exit status %2.</source>
        <comment>nc</comment>
        <translation>Program klienta %1 zakończył działanie z kodem wyjścia %2.</translation>
    </message>
    <message>
        <source>The client program %1 ended with exit status %2: %3</source>
        <comment>nc</comment>
        <translation>Program klienta %1 zakończył działanie z kodem wyjścia %2: %3</translation>
    </message>
    <message>
        <source>The client program %1 printed no update query.</source>
        <comment>nc</comment>
        <translation>Program klienta %1 nie wypisał zapytania o aktualizacje.</translation>
    </message>
    <message>
        <source>An error occured while comunicating update server. Check your internet connection.</source>
        <comment>nc</comment>
        <translation>Wystąpił błąd podczas komunikacji z serwerem aktualizacji. Sprawdź połączenie z internetem.</translation>
    </message>
    <message>
        <source>Installing package </source>
        <comment>status information about currently installed package</comment>
        <translation>Instalacja pakietu </translation>
    </message>
    <message>
        <source>Failed installing package </source>
        <comment>nc</comment>
        <translation>Nie udało się zainstalować pakietu </translation>
    </message>
    <message>
        <source>Rollback update</source>
        <comment>restoring application to state before installing update</comment>
        <translation>Wycofywanie aktualizacji</translation>
    </message>
    <message>
        <source>An error occured while rolling back update progress. Software may not work properly. Try reinstalling whole application</source>
        <comment>nc</comment>
        <translation>Wystąpił błąd podczas wycofywania aktualizacji. Program może nie działać poprawnie. Zainstaluj ponownie całą aplikację.</translation>
    </message>
    <message>
        <source>Could not save the package to %1: %2</source>
        <comment>nc</comment>
        <translation>Nie można zapisać pakietu w %1: %2</translation>
    </message>
    <message>
        <source>Downloading %1 failed: %2</source>
        <comment>nc</comment>
        <translation>Pobieranie %1 nie powiodło się: %2</translation>
    </message>
    <message>
        <source>Downloading %1 failed: the server answered %2 %3.</source>
        <comment>nc</comment>
        <translation>Pobieranie %1 nie powiodło się: serwer odpowiedział %2 %3.</translation>
    </message>
    <message>
        <source>Downloading %1 failed: the server redirected it to %2, which is not plain HTTP on port 80.</source>
        <comment>nc</comment>
        <translation>Pobieranie %1 nie powiodło się: serwer przekierował je do %2, a to nie jest zwykłe HTTP na porcie 80.</translation>
    </message>
    <message>
        <source>Downloading %1 failed: the server redirected it to %2, which is not HTTPS.</source>
        <comment>nc</comment>
        <translation>Pobieranie %1 nie powiodło się: serwer przekierował je do %2, a to nie jest HTTPS.</translation>
    </message>
    <message>
        <source>Downloading %1 failed: the certificate of %2 is not accepted: %3</source>
        <comment>nc</comment>
        <translation>Pobieranie %1 nie powiodło się: certyfikat serwera %2 nie został przyjęty: %3</translation>
    </message>
    <message>
        <source>Downloading %1 failed: the server sent nothing for %2 seconds.</source>
        <comment>nc</comment>
        <translation>Pobieranie %1 nie powiodło się: serwer nie przysłał niczego przez %2 s.</translation>
    </message>
    <message>
        <source>Downloading %1 failed: the server sent the part &quot;%2&quot; where the rest from byte %3 was asked for.</source>
        <comment>nc</comment>
        <translation>Pobieranie %1 nie powiodło się: serwer przysłał część „%2”, choć poproszono o resztę od bajtu %3.</translation>
    </message>
    <message>
        <source>the connection closed early</source>
        <comment>nc</comment>
        <translation>połączenie zostało zamknięte przedwcześnie</translation>
    </message>
    <message>
        <source>The package link %1 does not name a file on a server.</source>
        <comment>nc</comment>
        <translation>Odnośnik do pakietu %1 nie wskazuje pliku na serwerze.</translation>
    </message>
    <message>
        <source>There is no folder to store the packages in.</source>
        <comment>nc</comment>
        <translation>Brak folderu, w którym można zapisać pakiety.</translation>
    </message>
    <message>
        <source>Cannot load the form %1: %2</source>
        <comment>broken installation</comment>
        <translation>Nie można wczytać formularza %1: %2</translation>
    </message>
    <message>
        <source>The form %1 lacks the widgets %2.</source>
        <comment>broken installation</comment>
        <translation>W formularzu %1 brakuje elementów %2.</translation>
    </message>
    <message>
        <source>The package entry %1 is damaged</source>
        <comment>error while installing a package</comment>
        <translation>Element pakietu %1 jest uszkodzony</translation>
    </message>
    <message>
        <source>%1 is not a readable package archive</source>
        <comment>error while installing a package</comment>
        <translation>%1 nie jest czytelnym archiwum pakietu</translation>
    </message>
    <message>
        <source>The package entry %1 was refused: its name leads outside the package folder</source>
        <comment>error while installing a package</comment>
        <translation>Odrzucono element pakietu %1: jego nazwa wskazuje miejsce poza folderem pakietu</translation>
    </message>
    <message>
        <source>Could not create the folder %1</source>
        <comment>error while installing a package</comment>
        <translation>Nie można utworzyć folderu %1</translation>
    </message>
    <message>
        <source>Could not remove %1</source>
        <comment>error while installing a package</comment>
        <translation>Nie można usunąć %1</translation>
    </message>
    <message>
        <source>The package has the component type &quot;%1&quot;, which cannot be installed</source>
        <comment>error while installing a package</comment>
        <translation>Pakiet ma typ składnika „%1”, którego nie można zainstalować</translation>
    </message>
    <message>
        <source>Could not prepare the backup folder %1</source>
        <comment>error while installing a package</comment>
        <translation>Nie można przygotować folderu kopii zapasowej %1</translation>
    </message>
    <message>
        <source>The package has no readable descriptor %1: %2</source>
        <comment>error while installing a package</comment>
        <translation>Pakiet nie zawiera czytelnego opisu %1: %2</translation>
    </message>
    <message>
        <source>The package descriptor %1 is malformed (line %2): %3</source>
        <comment>error while installing a package</comment>
        <translation>Opis pakietu %1 jest błędny (wiersz %2): %3</translation>
    </message>
    <message>
        <source>View details</source>
        <comment>nc</comment>
        <translation>Pokaż szczegóły</translation>
    </message>
    <message>
        <source>Hide details</source>
        <comment>nc</comment>
        <translation>Ukryj szczegóły</translation>
    </message>
    <message>
        <source>The environment variable %1 holds &quot;%2&quot;, which is not an update server address (&quot;host&quot; or &quot;host:port&quot;).</source>
        <comment>nc</comment>
        <translation>Zmienna środowiskowa %1 ma wartość „%2”, która nie jest adresem serwera aktualizacji („host” lub „host:port”).</translation>
    </message>
    <message>
        <source>Could not back up %1</source>
        <comment>error while installing a package</comment>
        <translation>Nie można utworzyć kopii zapasowej %1</translation>
    </message>
    <message>
        <source>Another update is already running.</source>
        <comment>error while installing a package</comment>
        <translation>Inna aktualizacja jest już w toku.</translation>
    </message>
    <message>
        <source>An interrupted earlier update could not be rolled back: %1</source>
        <comment>error while installing a package</comment>
        <translation>Nie można wycofać wcześniejszej, przerwanej aktualizacji: %1</translation>
    </message>
    <message>
        <source>Could not write the journal %1</source>
        <comment>error while installing a package</comment>
        <translation>Nie można zapisać dziennika %1</translation>
    </message>
    <message>
        <source>Could not write %1</source>
        <comment>error while installing a package</comment>
        <translation>Nie można zapisać %1</translation>
    </message>
    <message>
        <source>the descriptor holds a document type declaration</source>
        <comment>error while installing a package</comment>
        <translation>opis zawiera deklarację typu dokumentu</translation>
    </message>
    <message>
        <source>Could not unpack %1</source>
        <comment>error while installing a package</comment>
        <translation>Nie można rozpakować %1</translation>
    </message>
    <message>
        <source>The package entry %1 is larger than the package declares</source>
        <comment>error while installing a package</comment>
        <translation>Element pakietu %1 jest większy, niż deklaruje pakiet</translation>
    </message>
    <message>
        <source>Not enough free space in %1: the package needs %2, %3 are free</source>
        <comment>error while installing a package</comment>
        <translation>Za mało wolnego miejsca w %1: pakiet potrzebuje %2, wolne jest %3</translation>
    </message>
    <message>
        <source>Could not copy %1 to %2: the package holds no such file</source>
        <comment>error while installing a package</comment>
        <translation>Nie można skopiować %1 do %2: pakiet nie zawiera takiego pliku</translation>
    </message>
    <message>
        <source>Could not put %1 in place</source>
        <comment>error while installing a package</comment>
        <translation>Nie można umieścić %1 na miejscu</translation>
    </message>
    <message>
        <source>a symbolic link on the way leads out of %1</source>
        <comment>error while installing a package</comment>
        <translation>dowiązanie symboliczne po drodze prowadzi poza %1</translation>
    </message>
    <message>
        <source>Another update is already running.</source>
        <comment>program update</comment>
        <translation>Inna aktualizacja jest już w toku.</translation>
    </message>
    <message>
        <source>The previous update was interrupted. The previous version has been restored.</source>
        <comment>program update</comment>
        <translation>Poprzednia aktualizacja została przerwana. Przywrócono poprzednią wersję.</translation>
    </message>
    <message>
        <source>The previous update was interrupted and could not be undone completely. These files could not be restored:
%1
The updater tries again at its next start.</source>
        <comment>program update</comment>
        <translation>Poprzednia aktualizacja została przerwana i nie udało się jej całkowicie wycofać. Nie można przywrócić tych plików:
%1
Program aktualizujący spróbuje ponownie przy następnym uruchomieniu.</translation>
    </message>
    <message>
        <source>Downloading %1 failed: a signature is never larger than %2 bytes.</source>
        <comment>signature download</comment>
        <translation>Pobieranie %1 nie powiodło się: podpis nigdy nie jest większy niż %2 bajtów.</translation>
    </message>
    <message>
        <source>Downloading %1 failed: the signature did not arrive within %2 seconds.</source>
        <comment>signature download</comment>
        <translation>Pobieranie %1 nie powiodło się: podpis nie nadszedł w ciągu %2 sekund.</translation>
    </message>
    <message>
        <source>The package %1 is not signed.</source>
        <comment>signature check</comment>
        <translation>Pakiet %1 nie jest podpisany.</translation>
    </message>
    <message>
        <source>The signature of the package %1 is damaged.</source>
        <comment>signature check</comment>
        <translation>Podpis pakietu %1 jest uszkodzony.</translation>
    </message>
    <message>
        <source>The package %1 is signed by a key this updater does not trust.</source>
        <comment>signature check</comment>
        <translation>Pakiet %1 jest podpisany kluczem, któremu ten program aktualizujący nie ufa.</translation>
    </message>
    <message>
        <source>The signature does not match the package %1: the file was changed.</source>
        <comment>signature check</comment>
        <translation>Podpis nie pasuje do pakietu %1: plik został zmieniony.</translation>
    </message>
    <message>
        <source>The signed comment of the package %1 was changed after signing.</source>
        <comment>signature check</comment>
        <translation>Podpisany komentarz pakietu %1 został zmieniony po podpisaniu.</translation>
    </message>
    <message>
        <source>The package %1 is signed for another component or version.</source>
        <comment>signature check</comment>
        <translation>Pakiet %1 jest podpisany dla innego składnika lub innej wersji.</translation>
    </message>
    <message>
        <source>The package %1 cannot be read.</source>
        <comment>signature check</comment>
        <translation>Nie można odczytać pakietu %1.</translation>
    </message>
    <message>
        <source>No update was installed: the installation is as it was.</source>
        <comment>signature check</comment>
        <translation>Nie zainstalowano żadnej aktualizacji: instalacja pozostała bez zmian.</translation>
    </message>
    <message>
        <source>Operation not permitted</source>
        <comment>system error</comment>
        <translation>Operacja niedozwolona</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <comment>system error</comment>
        <translation>Brak dostępu</translation>
    </message>
    <message>
        <source>Read-only file system</source>
        <comment>system error</comment>
        <translation>System plików tylko do odczytu</translation>
    </message>
    <message>
        <source>No space left on device</source>
        <comment>system error</comment>
        <translation>Brak miejsca na urządzeniu</translation>
    </message>
    <message>
        <source>Disk quota exceeded</source>
        <comment>system error</comment>
        <translation>Przekroczono przydział miejsca na dysku</translation>
    </message>
    <message>
        <source>No such file or directory</source>
        <comment>system error</comment>
        <translation>Nie ma takiego pliku ani katalogu</translation>
    </message>
    <message>
        <source>Not a directory</source>
        <comment>system error</comment>
        <translation>To nie jest katalog</translation>
    </message>
    <message>
        <source>Is a directory</source>
        <comment>system error</comment>
        <translation>To jest katalog</translation>
    </message>
    <message>
        <source>File exists</source>
        <comment>system error</comment>
        <translation>Plik już istnieje</translation>
    </message>
    <message>
        <source>Directory not empty</source>
        <comment>system error</comment>
        <translation>Katalog nie jest pusty</translation>
    </message>
    <message>
        <source>Input/output error</source>
        <comment>system error</comment>
        <translation>Błąd wejścia/wyjścia</translation>
    </message>
    <message>
        <source>Device or resource busy</source>
        <comment>system error</comment>
        <translation>Urządzenie lub zasób jest zajęty</translation>
    </message>
    <message>
        <source>Text file busy</source>
        <comment>system error</comment>
        <translation>Plik wykonywalny jest w użyciu</translation>
    </message>
    <message>
        <source>File name too long</source>
        <comment>system error</comment>
        <translation>Za długa nazwa pliku</translation>
    </message>
    <message>
        <source>Too many levels of symbolic links</source>
        <comment>system error</comment>
        <translation>Za dużo poziomów dowiązań symbolicznych</translation>
    </message>
    <message>
        <source>Invalid cross-device link</source>
        <comment>system error</comment>
        <translation>Nieprawidłowe dowiązanie między urządzeniami</translation>
    </message>
    <message>
        <source>Too many open files</source>
        <comment>system error</comment>
        <translation>Za dużo otwartych plików</translation>
    </message>
    <message>
        <source>File too large</source>
        <comment>system error</comment>
        <translation>Plik jest za duży</translation>
    </message>
    <message>
        <source>Bad Request</source>
        <comment>HTTP status</comment>
        <translation>Nieprawidłowe żądanie</translation>
    </message>
    <message>
        <source>Unauthorized</source>
        <comment>HTTP status</comment>
        <translation>Wymagane uwierzytelnienie</translation>
    </message>
    <message>
        <source>Forbidden</source>
        <comment>HTTP status</comment>
        <translation>Dostęp zabroniony</translation>
    </message>
    <message>
        <source>Not Found</source>
        <comment>HTTP status</comment>
        <translation>Nie znaleziono</translation>
    </message>
    <message>
        <source>Request Timeout</source>
        <comment>HTTP status</comment>
        <translation>Przekroczono czas oczekiwania na żądanie</translation>
    </message>
    <message>
        <source>Gone</source>
        <comment>HTTP status</comment>
        <translation>Zasób został usunięty</translation>
    </message>
    <message>
        <source>Too Many Requests</source>
        <comment>HTTP status</comment>
        <translation>Za dużo żądań</translation>
    </message>
    <message>
        <source>Internal Server Error</source>
        <comment>HTTP status</comment>
        <translation>Wewnętrzny błąd serwera</translation>
    </message>
    <message>
        <source>Bad Gateway</source>
        <comment>HTTP status</comment>
        <translation>Błędna odpowiedź bramy</translation>
    </message>
    <message>
        <source>Service Unavailable</source>
        <comment>HTTP status</comment>
        <translation>Usługa niedostępna</translation>
    </message>
    <message>
        <source>Gateway Timeout</source>
        <comment>HTTP status</comment>
        <translation>Przekroczono czas oczekiwania bramy</translation>
    </message>
    <message>
        <source>an empty name</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>pusta nazwa</translation>
    </message>
    <message>
        <source>a name with a NUL or backslash character</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>nazwa ze znakiem NUL lub ukośnikiem wstecznym</translation>
    </message>
    <message>
        <source>an absolute name</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>nazwa bezwzględna</translation>
    </message>
    <message>
        <source>a name with an empty, &quot;.&quot; or &quot;..&quot; component</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>nazwa z pustym członem, „.” lub „..”</translation>
    </message>
    <message>
        <source>a name inside the journal's own folder</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>nazwa wewnątrz folderu samego dziennika</translation>
    </message>
    <message>
        <source>it is a symbolic link</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>jest dowiązaniem symbolicznym</translation>
    </message>
    <message>
        <source>it is not a folder that can be opened</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>nie jest folderem, który da się otworzyć</translation>
    </message>
    <message>
        <source>it cannot be examined</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>nie da się go sprawdzić</translation>
    </message>
    <message>
        <source>it belongs to another user</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>należy do innego użytkownika</translation>
    </message>
    <message>
        <source>others may change it (its mode is not 0700)</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>inni mogą go zmieniać (jego uprawnienia to nie 0700)</translation>
    </message>
    <message>
        <source>the journal cannot be opened</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>nie można otworzyć dziennika</translation>
    </message>
    <message>
        <source>the journal is not a regular file</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>dziennik nie jest zwykłym plikiem</translation>
    </message>
    <message>
        <source>the journal cannot be read whole</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>nie można odczytać całego dziennika</translation>
    </message>
    <message>
        <source>a line it cannot understand</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>wiersz, którego nie rozumie</translation>
    </message>
    <message>
        <source>a backup that is not a number inside saved/</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>kopię zapasową, która nie jest numerem w saved/</translation>
    </message>
    <message>
        <source>line %1 holds %2</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>w wierszu %1 jest %2</translation>
    </message>
    <message>
        <source>it cannot be opened</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>nie można go otworzyć</translation>
    </message>
    <message>
        <source>The backup folder %1 is not used: %2</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>Folder kopii zapasowej %1 nie zostanie użyty: %2</translation>
    </message>
    <message>
        <source>The journal in %1 is invalid and was left untouched: %2</source>
        <comment>why the journal of an interrupted update is not used</comment>
        <translation>Dziennik w %1 jest nieprawidłowy i pozostał nietknięty: %2</translation>
    </message>
    <message>
        <source>The trusted keys folder %1 is not a folder.</source>
        <comment>signature check: keys folder</comment>
        <translation>Folder zaufanych kluczy %1 nie jest folderem.</translation>
    </message>
    <message>
        <source>The trusted keys folder %1 cannot be read.</source>
        <comment>signature check: keys folder</comment>
        <translation>Nie można odczytać folderu zaufanych kluczy %1.</translation>
    </message>
    <message>
        <source>The trusted keys folder %1 holds no valid key.</source>
        <comment>signature check: keys folder</comment>
        <translation>Folder zaufanych kluczy %1 nie zawiera żadnego prawidłowego klucza.</translation>
    </message>
    <message>
        <source>The package %1 is refused: the trusted keys cannot be read.</source>
        <comment>signature check</comment>
        <translation>Pakiet %1 został odrzucony: nie można odczytać zaufanych kluczy.</translation>
    </message>
    <message>
        <source>The package %1 is refused: it would not update the installed version.</source>
        <comment>signature check</comment>
        <translation>Pakiet %1 został odrzucony: nie zaktualizowałby zainstalowanej wersji.</translation>
    </message>
    <message>
        <source>The package %1 is refused: its signature has expired.</source>
        <comment>signature check</comment>
        <translation>Pakiet %1 został odrzucony: jego podpis wygasł.</translation>
    </message>
    <message>
        <source>The signature expired on %1 (UTC).</source>
        <comment>signature check: %1 is the expiry time, as 2026-12-31T23:59:59Z</comment>
        <translation>Podpis wygasł %1 (UTC).</translation>
    </message>
    <message>
        <source>The version %1 is not newer than the installed %2.</source>
        <comment>signature check: %1 is the offered version, %2 the installed one</comment>
        <translation>Wersja %1 nie jest nowsza od zainstalowanej wersji %2.</translation>
    </message>
    <message>
        <source>The update cannot start: its lock file %1 cannot be used (%2).</source>
        <comment>program update: %1 is the lock file, %2 the reason</comment>
        <translation>Aktualizacja nie może się rozpocząć: nie można użyć jej pliku blokady %1 (%2).</translation>
    </message>
    <message>
        <source>not a regular file of this user&apos;s</source>
        <comment>program update: why the lock file cannot be used</comment>
        <translation>nie jest to zwykły plik tego użytkownika</translation>
    </message>
    <message>
        <source>Some updates are not installed here</source>
        <comment>title of the box before the change log</comment>
        <translation>Niektóre aktualizacje nie zostaną tu zainstalowane</translation>
    </message>
    <message>
        <source>These updates are not downloaded:</source>
        <comment>first line of the box before the change log</comment>
        <translation>Te aktualizacje nie zostaną pobrane:</translation>
    </message>
    <message>
        <source>The other updates are downloaded and installed as usual.</source>
        <comment>last line of the box before the change log</comment>
        <translation>Pozostałe aktualizacje zostaną pobrane i zainstalowane jak zwykle.</translation>
    </message>
    <message>
        <source>%1 cannot be updated. %2 Ask your administrator to install this update.</source>
        <comment>an update that cannot be installed; %1 component, %2 why (names the folder)</comment>
        <translation>Nie można zaktualizować %1. %2 Poproś administratora o zainstalowanie tej aktualizacji.</translation>
    </message>
    <message>
        <source>The folder %1 cannot be made here (%2).</source>
        <comment>why an update cannot be installed; %1 folder, %2 system reason</comment>
        <translation>Nie można utworzyć folderu %1 (%2).</translation>
    </message>
    <message>
        <source>You may not change the folder %1 (%2).</source>
        <comment>why an update cannot be installed; %1 folder, %2 system reason</comment>
        <translation>Nie masz uprawnień do zmiany folderu %1 (%2).</translation>
    </message>
    <message>
        <source>The folder %1 lies on a read-only file system.</source>
        <comment>why an update cannot be installed; %1 folder</comment>
        <translation>Folder %1 znajduje się w systemie plików tylko do odczytu.</translation>
    </message>
    <message>
        <source>The backup folder %1 cannot be used (%2).</source>
        <comment>why an update cannot be installed; %1 folder, %2 system reason</comment>
        <translation>Nie można użyć folderu kopii zapasowej %1 (%2).</translation>
    </message>
    <message>
        <source>Version %1 of %2 is available. This installation (%3) is updated through the system's package manager (%4).</source>
        <comment>a program update in a package manager's installation; %1 version, %2 component, %3 folder, %4 package manager</comment>
        <translation>Dostępna jest wersja %1 składnika %2. Ta instalacja (%3) jest aktualizowana przez systemowy menedżer pakietów (%4).</translation>
    </message>
    <message>
        <source>The package manager's records list the files of %1, so the updater leaves them alone.</source>
        <comment>why a program folder counts as the package manager's; %1 folder</comment>
        <translation>Pliki folderu %1 są zapisane w rejestrze menedżera pakietów, więc program aktualizujący ich nie zmienia.</translation>
    </message>
    <message>
        <source>unknown argument: %1</source>
        <comment>updater command line</comment>
        <translation>nieznany argument: %1</translation>
    </message>
    <message>
        <source>usage: updater [-q] [--help] [--version]
Checks for updates of the client and its plug-ins and installs them.
  -q         quiet: start with the download window, and say nothing when no update is available
  --help     show this text and exit
  --version  show the updater&apos;s version and exit
</source>
        <comment>updater command line: --help</comment>
        <translation>użycie: updater [-q] [--help] [--version]
Sprawdza, czy są aktualizacje klienta i jego wtyczek, i je instaluje.
  -q         tryb cichy: zaczyna od okna pobierania i nic nie mówi, gdy nie ma aktualizacji
  --help     pokazuje ten tekst i kończy działanie
  --version  pokazuje wersję programu aktualizującego i kończy działanie
</translation>
    </message>
    <message>
        <source>updater %1
</source>
        <comment>updater command line: --version</comment>
        <translation>updater %1
</translation>
    </message>
</context>
</TS>
