# The Debian package, made by CPack from the install rules:
#   cmake -S . -B build -DCMAKE_INSTALL_PREFIX=/usr && cmake --build build --target package
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME moratutor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Moratutor team")
set(CPACK_PACKAGE_CONTACT "Moratutor team <moratutor@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "learn the Japanese kana by reading Russian texts")
# A package always installs under /usr, whatever prefix the build was configured for.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Only the program's own files, not those of libraries a build may bring along.
set(CPACK_DEB_COMPONENT_INSTALL OFF)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://moratutor.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Plugins and fonts are loaded, not linked, so shlibdeps cannot see them: the window needs a
# platform plugin to show at all, the SVG plugins draw the tool-bar and About images, and kana
# need a font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, qt6-translations-l10n, fonts-ipafont-gothic | fonts-noto-cjk")
# F1 hands the help page to xdg-open where a browser takes HTML; without it the program
# shows the page in its own window. The voice that says the kana is loaded, not linked
# (espeak-ng brings its library and its Japanese and Russian voices): without it the
# speaking items are grey.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, espeak-ng")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The long description; CPack puts the summary above it and formats the lines for the control
# file. A control file has one description, so the Russian one follows the English one.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Moratutor helps Russian speakers learn the Japanese kana by reading. Put a"
    "Russian text into the window, tick the groups of syllables you are learning,"
    "and the program rewrites those syllables in hiragana or katakana: familiar"
    "words, now partly spelt in kana, teach the letters as you read. Texts come"
    "from plain text, RTF, FB2, EPUB and HTML files; the result can be saved as"
    "text, RTF, EPUB or FB2, printed, or exported as PDF. The package also holds"
    "moratutor-convert, which does the same conversion on the command line."
    ""
    "Изучение японской каны чтением русских текстов."
    ""
    "Вставьте в окно русский текст, отметьте группы слогов, которые вы учите, и"
    "программа запишет эти слоги хираганой или катаканой: знакомые слова, частично"
    "написанные каной, учат знакам по ходу чтения. Текст можно загрузить из файлов"
    "TXT, RTF, FB2, EPUB и HTML; результат можно сохранить как текст, RTF, EPUB или"
    "FB2, напечатать или экспортировать в PDF. Программа moratutor-convert делает"
    "то же в командной строке.")

include(CPack)
