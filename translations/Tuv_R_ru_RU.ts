<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>ClipCheck</name>
    <message>
        <source>The clip %1 does not exist.</source>
        <translation>Клип %1 не найден.</translation>
    </message>
    <message>
        <source>%1 is a folder, not a clip.</source>
        <translation>%1 — это папка, а не клип.</translation>
    </message>
    <message>
        <source>The clip %1 cannot be read: you have no permission to read it.</source>
        <translation>Клип %1 не удаётся прочитать: нет прав на чтение.</translation>
    </message>
    <message>
        <source>The clip %1 is empty.</source>
        <translation>Клип %1 пуст.</translation>
    </message>
    <message>
        <source>The clip %1 holds %2 bytes, less than one frame of %3 (%4 bytes).</source>
        <translation>Клип %1 содержит %2 байт — меньше одного кадра %3 (%4 байт).</translation>
    </message>
    <message>
        <source>The clip holds %1 whole frames of %2, fewer than the %3 frames asked for.</source>
        <translation>В клипе целых кадров %2: %1 — меньше запрошенных %3.</translation>
    </message>
    <message>
        <source>The name %1 states %2, but %3 is chosen.</source>
        <translation>В имени %1 указан размер %2, но выбран %3.</translation>
    </message>
    <message>
        <source>The clip holds %1 bytes: %2 whole frames of %3 and a partial frame of %4 bytes (a frame is %5 bytes). The partial frame will be left out.</source>
        <translation>Клип содержит %1 байт: целых кадров %3 — %2, и неполный кадр из %4 байт (кадр занимает %5 байт). Неполный кадр будет пропущен.</translation>
    </message>
    <message>
        <source>At %1 the clip holds %2 whole frames.</source>
        <translation>При размере %1 в клипе целых кадров: %2.</translation>
    </message>
    <message>
        <source>%1 is not one of the sizes the encoder is offered (%2): no choice in the options fits this clip.</source>
        <translation>Размера %1 нет среди предлагаемых кодеру (%2): ни один вариант в параметрах не подходит к этому клипу.</translation>
    </message>
</context>
<context>
    <name>ClipPreview</name>
    <message>
        <source>frame %1 of %2</source>
        <translation>кадр %1 из %2</translation>
    </message>
    <message>
        <source>No picture: the frame cannot be converted for the screen; FFmpeg&apos;s libswscale may be missing.</source>
        <translation>Нет изображения: кадр не удаётся преобразовать для экрана; возможно, не установлена библиотека libswscale из FFmpeg.</translation>
    </message>
</context>
<context>
    <name>FrameReader</name>
    <message>
        <source>No picture: the clip cannot be read (%1).</source>
        <translation>Нет изображения: клип не удаётся прочитать (%1).</translation>
    </message>
    <message>
        <source>No picture: the clip is a pipe or a device, not a regular file, so its frames cannot be reached without reading it from the start.</source>
        <translation>Нет изображения: клип — канал или устройство, а не обычный файл, и до его кадров не добраться, не читая его с начала.</translation>
    </message>
    <message>
        <source>No picture: the clip holds %1 bytes, less than one frame of %2 (%3 bytes).</source>
        <translation>Нет изображения: клип содержит %1 байт — меньше одного кадра %2 (%3 байт).</translation>
    </message>
</context>
<context>
    <name>FrameTableModel</name>
    <message>
        <source>Frame</source>
        <translation>Кадр</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Тип</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>Байт</translation>
    </message>
    <message>
        <source>PSNR Y, dB</source>
        <translation>PSNR Y, дБ</translation>
    </message>
    <message>
        <source>PSNR U, dB</source>
        <translation>PSNR U, дБ</translation>
    </message>
    <message>
        <source>PSNR V, dB</source>
        <translation>PSNR V, дБ</translation>
    </message>
    <message>
        <source>SSIM</source>
        <translation>SSIM</translation>
    </message>
</context>
<context>
    <name>JobControl</name>
    <message>
        <source>Tuv-R&apos;s job supervisor %1 is missing or cannot run: %2</source>
        <translation>Служебная программа Tuv-R %1, под которой запускаются задания, отсутствует или не запускается: %2</translation>
    </message>
    <message>
        <source>Tuv-R&apos;s job supervisor %1 is missing or cannot run.</source>
        <translation>Служебная программа Tuv-R %1, под которой запускаются задания, отсутствует или не запускается.</translation>
    </message>
    <message>
        <source>Jobs are held by the kernel, each in a PID namespace of its own.</source>
        <translation>Задания удерживает ядро, каждое в собственном пространстве имён PID.</translation>
    </message>
    <message>
        <source>Jobs are held by the kernel, each in a user and PID namespace of its own.</source>
        <translation>Задания удерживает ядро, каждое в собственных пространствах имён пользователей и PID.</translation>
    </message>
    <message>
        <source>Jobs are held by their supervisor as a child subreaper: this system grants them no namespace.</source>
        <translation>Задания удерживает их служебная программа как процесс-сборщик потомков: пространств имён для них эта система не даёт.</translation>
    </message>
    <message>
        <source>Jobs are held by Windows, each in a Job Object that ends with the program.</source>
        <translation>Задания удерживает Windows, каждое в собственном объекте задания, который завершается вместе с программой.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Tuv-R</source>
        <translation>Tuv-R</translation>
    </message>
    <message>
        <source>Decoder</source>
        <translation>Декодер</translation>
    </message>
    <message>
        <source>Encoder</source>
        <translation>Кодер</translation>
    </message>
    <message>
        <source>DAT files (*.dat);;All files (*.*)</source>
        <translation>Файлы DAT (*.dat);;Все файлы (*.*)</translation>
    </message>
    <message>
        <source>YUV files (*.yuv);;All files (*.*)</source>
        <translation>Файлы YUV (*.yuv);;Все файлы (*.*)</translation>
    </message>
    <message>
        <source>Open Media File</source>
        <translation>Открыть медиафайл</translation>
    </message>
    <message>
        <source>Open directory for save</source>
        <translation>Выберите папку для сохранения</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Please Wait</source>
        <translation>Пожалуйста, подождите</translation>
    </message>
    <message>
        <source>Decode complete</source>
        <translation>Декодирование завершено</translation>
    </message>
    <message>
        <source>Encode complete</source>
        <translation>Кодирование завершено</translation>
    </message>
    <message>
        <source>Compression rate</source>
        <translation>Степень сжатия</translation>
    </message>
    <message>
        <source>Encode failed</source>
        <translation>Ошибка кодирования</translation>
    </message>
    <message>
        <source>Decode failed</source>
        <translation>Ошибка декодирования</translation>
    </message>
    <message>
        <source>The path
%1
contains a line break, which the encoder&apos;s configuration cannot hold. Please rename it.</source>
        <translation>Путь
%1
содержит перевод строки, который нельзя записать в конфигурацию кодера. Переименуйте его.</translation>
    </message>
    <message>
        <source>Cannot write the encoder configuration %1:
%2.</source>
        <translation>Не удалось записать конфигурацию кодера %1:
%2.</translation>
    </message>
    <message>
        <source>%1 crashed.</source>
        <translation>Программа %1 завершилась аварийно.</translation>
    </message>
    <message>
        <source>%1 stopped with exit code %2.</source>
        <translation>Программа %1 завершилась с кодом %2.</translation>
    </message>
    <message>
        <source>The full report is under &quot;Show Details...&quot;.</source>
        <translation>Полный отчёт открывается кнопкой «Показать подробности...».</translation>
    </message>
    <message>
        <source>Frame %1</source>
        <translation>Кадр %1</translation>
    </message>
    <message>
        <source>Frame %1 of %2</source>
        <translation>Кадр %1 из %2</translation>
    </message>
    <message>
        <source>%1 fps</source>
        <translation>%1 кадр/с</translation>
    </message>
    <message>
        <source>about %1 left</source>
        <translation>осталось около %1</translation>
    </message>
    <message>
        <source>[... %1 bytes of output left out ...]</source>
        <translation>[... пропущено байт вывода: %1 ...]</translation>
    </message>
    <message>
        <source>Cannot encode</source>
        <translation>Кодирование невозможно</translation>
    </message>
    <message>
        <source>Check the clip</source>
        <translation>Проверьте клип</translation>
    </message>
    <message>
        <source>Encode anyway</source>
        <translation>Всё равно кодировать</translation>
    </message>
    <message>
        <source>Back to options</source>
        <translation>Вернуться к параметрам</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Остановить</translation>
    </message>
    <message>
        <source>Replace stream.dat?</source>
        <translation>Заменить stream.dat?</translation>
    </message>
    <message>
        <source>%1 already exists. Replace it with the new encode?</source>
        <translation>%1 уже существует. Заменить его результатом нового кодирования?</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Заменить</translation>
    </message>
    <message>
        <source>Another encode started from this folder is still running on %1. Wait for it to end, or start Tuv-R from another folder.</source>
        <translation>Другое кодирование, запущенное из этой папки, ещё использует %1. Дождитесь его окончания или запустите Tuv-R из другой папки.</translation>
    </message>
    <message>
        <source>%1 could not be started. Make sure it is installed and its folder is on the PATH, or that the stand-in tools are in %2.
%3</source>
        <translation>Не удалось запустить %1. Убедитесь, что программа установлена и её папка указана в PATH или что заменяющие программы лежат в %2.
%3</translation>
    </message>
    <message>
        <source>Cannot lock the encoder configuration: %1 is a link to a file that does not exist. Remove it, or start Tuv-R from another folder.</source>
        <translation>Не удалось заблокировать настройки кодера: %1 — ссылка на несуществующий файл. Удалите её или запустите Tuv-R из другой папки.</translation>
    </message>
    <message>
        <source>Cannot lock the encoder configuration: %1 is a folder. Remove it, or start Tuv-R from another folder.</source>
        <translation>Не удалось заблокировать настройки кодера: %1 — это папка. Удалите её или запустите Tuv-R из другой папки.</translation>
    </message>
    <message>
        <source>Cannot lock the encoder configuration: %1 cannot be read. Remove it, or start Tuv-R from another folder.</source>
        <translation>Не удалось заблокировать настройки кодера: файл %1 нельзя прочитать. Удалите его или запустите Tuv-R из другой папки.</translation>
    </message>
    <message>
        <source>Cannot lock the encoder configuration: %1 cannot be created in %2. Start Tuv-R from a folder you can write to.</source>
        <translation>Не удалось заблокировать настройки кодера: файл %1 нельзя создать в %2. Запустите Tuv-R из папки, в которую можно записывать.</translation>
    </message>
    <message>
        <source>Drop a .yuv clip to encode it, or a .dat stream to decode it.</source>
        <translation>Перетащите клип .yuv, чтобы закодировать его, или поток .dat, чтобы декодировать.</translation>
    </message>
    <message>
        <source>Drop one file at a time.</source>
        <translation>Перетаскивайте по одному файлу.</translation>
    </message>
    <message>
        <source>%1 is not a file on this computer.</source>
        <translation>%1 — не файл на этом компьютере.</translation>
    </message>
    <message>
        <source>%1 is neither a .yuv clip nor a .dat stream.</source>
        <translation>%1 — не клип .yuv и не поток .dat.</translation>
    </message>
    <message>
        <source>Cannot start a job</source>
        <translation>Не удаётся начать задание</translation>
    </message>
    <message>
        <source>%1 is a link to %2, which does not exist.</source>
        <translation>%1 — ссылка на %2, а такого файла нет.</translation>
    </message>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 не существует.</translation>
    </message>
    <message>
        <source>%1 is a folder.</source>
        <translation>%1 — это папка.</translation>
    </message>
    <message>
        <source>%1 is on the computer %2, not on this one.</source>
        <translation>%1 находится на компьютере %2, а не на этом.</translation>
    </message>
    <message>
        <source>Per-frame quality…</source>
        <translation>Качество по кадрам…</translation>
    </message>
</context>
<context>
    <name>PerFrameView</name>
    <message>
        <source>Per-frame quality</source>
        <translation>Качество по кадрам</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Исходный</translation>
    </message>
    <message>
        <source>Decoded</source>
        <translation>Декодированный</translation>
    </message>
    <message>
        <source>Difference of Y, 8 times</source>
        <translation>Разница по Y, усиленная в 8 раз</translation>
    </message>
    <message>
        <source>Show decoded</source>
        <translation>Показать декодированный</translation>
    </message>
    <message>
        <source>Save as CSV…</source>
        <translation>Сохранить как CSV…</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>Not decoded yet.</source>
        <translation>Поток ещё не декодирован.</translation>
    </message>
    <message>
        <source>Save per-frame quality</source>
        <translation>Сохранить качество по кадрам</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;All files (*.*)</source>
        <translation>Файлы CSV (*.csv);;Все файлы (*.*)</translation>
    </message>
    <message>
        <source>Cannot save</source>
        <translation>Не удаётся сохранить</translation>
    </message>
    <message>
        <source>Cannot write file %1:
%2.</source>
        <translation>Не удаётся записать файл %1:
%2.</translation>
    </message>
    <message>
        <source>Frame %1 (%2): %3 bytes, PSNR Y %4 dB</source>
        <translation>Кадр %1 (%2): %3 байт, PSNR Y %4 дБ</translation>
    </message>
    <message>
        <source>No difference: a frame is missing.</source>
        <translation>Разницы нет: одного из кадров не хватает.</translation>
    </message>
    <message>
        <source>The clip ends before frame %1.</source>
        <translation>Клип заканчивается раньше кадра %1.</translation>
    </message>
    <message>
        <source>No picture: the frame cannot be converted for the screen; FFmpeg&apos;s libswscale may be missing.</source>
        <translation>Нет изображения: кадр не удаётся преобразовать для экрана; возможно, не установлена библиотека libswscale из FFmpeg.</translation>
    </message>
    <message>
        <source>Cannot decode</source>
        <translation>Не удаётся декодировать</translation>
    </message>
    <message>
        <source>Cannot copy %1 for decoding:
%2.</source>
        <translation>Не удаётся скопировать %1 для декодирования:
%2.</translation>
    </message>
    <message>
        <source>Decode failed</source>
        <translation>Ошибка декодирования</translation>
    </message>
    <message>
        <source>The decoder wrote no clip.</source>
        <translation>Декодер не записал клип.</translation>
    </message>
</context>
<context>
    <name>QualityChart</name>
    <message>
        <source>worst: frame %1, %2 dB</source>
        <translation>худший: кадр %1, %2 дБ</translation>
    </message>
    <message>
        <source>%1 dB</source>
        <translation>%1 дБ</translation>
    </message>
    <message>
        <source>PSNR Y</source>
        <translation>PSNR Y</translation>
    </message>
    <message>
        <source>PSNR U</source>
        <translation>PSNR U</translation>
    </message>
    <message>
        <source>PSNR V</source>
        <translation>PSNR V</translation>
    </message>
    <message>
        <source>bytes</source>
        <translation>байты</translation>
    </message>
</context>
<context>
    <name>StartOptions</name>
    <message>
        <source>Compresses raw YUV video with a command-line encoder, and decodes its streams.</source>
        <translation>Сжимает видео YUV внешним кодером и декодирует его потоки.</translation>
    </message>
    <message>
        <source>Keep the encoder&apos;s config.txt in the per-user data folder instead of the working folder, as the desktop menu does.</source>
        <translation>Хранить config.txt кодера в папке данных пользователя, а не в рабочей папке, как при запуске из меню.</translation>
    </message>
</context>
<context>
    <name>optDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Параметры кодирования</translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation>Разрешение</translation>
    </message>
    <message>
        <source>nFrames</source>
        <translation>Кадров</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Качество</translation>
    </message>
    <message>
        <source>1920x1080</source>
        <translation>1920x1080</translation>
    </message>
    <message>
        <source>1280x720</source>
        <translation>1280x720</translation>
    </message>
    <message>
        <source>960x576</source>
        <translation>960x576</translation>
    </message>
    <message>
        <source>720x576</source>
        <translation>720x576</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>ОК</translation>
    </message>
</context>
</TS>
