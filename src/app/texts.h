// Every text the program shows, in one place. The longer ones are plain
// ASCII (char), half the size in the program, and widened where they are
// used.
#pragma once

#include <string>

namespace kolvane::text {

// Appends an ASCII text to a wide one.
std::wstring& Append(std::wstring& to, const char* ascii);
// An ASCII text as a wide one.
std::wstring Wide(const char* ascii);

inline constexpr wchar_t AppTitle[] = L"Virus Windows Kolvane";
inline constexpr wchar_t InitialCaption[] = L"Kolvane";
inline constexpr wchar_t CaptionPrefix[] = L"Kolvane ";
inline constexpr wchar_t Command2Prefix[] = L"Basmi Virus ";

// Design texts of the controls.
inline constexpr wchar_t Label1[] = L"Directory Windows Anda :";
inline constexpr wchar_t Command1[] = L"Scan Windows Anda";
inline constexpr wchar_t Command2[] = L"Basmi Virus";
inline constexpr wchar_t Command3[] = L"Remove Registry";

// About text of Label3.
inline constexpr char AboutStart[] = "Ini adalah program Kolvane ";
inline constexpr char AboutBody[] =
    ". Program ini dibuat berdasarkan informasi-informasi di internet. Remove Registry digunakan untuk "
    "mengembalikan registry kalau Anda telah membasmi virusnya dengan AntiVirus.";
inline constexpr char AboutCredit[] = "Program ini dibuat oleh : ";
inline constexpr wchar_t AuthorMail[] = L"haryono@example.com";

// Scan.
inline constexpr char Infected[] = "Komputer Anda Terinfeksi Virus ";
inline constexpr char Clean[] = "System Windows Anda Bebas Virus ";

// Arming and restart.
inline constexpr char ScanFirst[] = "Scan Windows Dulu";
inline constexpr char RestartSoon[] = "Komputer Anda akan di restart dalam 10 detik";
inline constexpr char ArmFailed[] = "Registry tidak dapat diubah. Jalankan program ini sebagai Administrator.";
inline constexpr char RestartFailed[] = "Gagal me-restart komputer. Silakan restart komputer Anda secara manual.";
inline constexpr char SelfPathUnknown[] = "Lokasi program ini tidak dapat dibaca, registry tidak diubah.";
inline constexpr char Busy[] =
    "Program ini sedang membasmi virus di proses lain. Tunggu sampai selesai, lalu coba lagi.";
inline constexpr char LockFailed[] =
    "Program ini tidak dapat mengunci komputer untuk pembasmian, tidak ada yang diubah.";
inline constexpr char CopyFailed[] = "Program ini tidak dapat disalin ke folder Windows, registry tidak diubah.";

// Registry restore.
inline constexpr char RestoreDone[] = "Sukses Mengembalikan registry";
inline constexpr char RestoreFailed[] = "Gagal Mengembalikan registry. Tidak dapat menghapus:";

// Purge log.
inline constexpr char LogHeader[] = "Proses Pembasmian Virus...";
inline constexpr char LogRegistry[] = "            Proses mengubah registri ... ";
inline constexpr char LogFile[] = "            Proses menghapus file ";
inline constexpr wchar_t LogDots[] = L" ... ";
inline constexpr char LogDeleteAtRestart[] = "            File akan dihapus saat komputer di-restart berikutnya";
inline constexpr char LogElevationDeclined[] =
    "            Izin Administrator tidak diberikan, pembasmian diulang saat logon berikutnya";
inline constexpr wchar_t Success[] = L"Sukses";
inline constexpr wchar_t Failure[] = L"Gagal";
inline constexpr wchar_t NewLine[] = L"\r\n";

// Command line for administrators: the usage box and the log lines.
// Plain ASCII, kept narrow: it is the longest text and shown by itself.
inline constexpr char Usage[] =
    "Pemakaian: KolvaneBackdoorHeliosB.exe /scan | /basmi | /remove [/log:FILE] [/offline:DIR]\r\n\r\n"
    "/scan\tMencari Backdoor.Helios.B tanpa mengubah apa pun.\r\n"
    "\tKode keluar: 0 bersih, 1 file atau registry ditemukan.\r\n"
    "/basmi\tMembasmi Backdoor.Helios.B. File yang sedang dipakai dihapus setelah restart.\r\n"
    "\tKode keluar: 0 bersih atau sudah dihapus, 3010 restart menyelesaikannya.\r\n"
    "/remove\tMenghapus nilai registry ssvchost.\r\n"
    "\tKode keluar: 0.\r\n"
    "/log:FILE\tMenambahkan satu baris hasil ke FILE.\r\n"
    "/offline:DIR\tBekerja pada Windows yang tidak berjalan di DIR, misalnya D:\\Windows.\r\n\r\n"
    "Kode keluar 5: akses ditolak atau tidak dapat diperiksa.\r\n"
    "Kode keluar 87: baris perintah salah, tidak ada yang diubah.\r\n"
    "Tanpa jendela, tanpa pertanyaan, tanpa restart.";
// The switches' log line: one outcome word a script can match, then what
// was found and done.
inline constexpr char WordClean[] = "bersih";
inline constexpr char WordFound[] = "ditemukan";
inline constexpr char WordRemoved[] = "dihapus";
inline constexpr char WordRestart[] = "menunggu-restart";
inline constexpr char WordRefused[] = "ditolak";
inline constexpr char WordUnexamined[] = "tidak-diperiksa";
inline constexpr char RunNotFound[] = "tidak ditemukan";
inline constexpr char RunFound[] = "ditemukan:";
// Followed by the files that are there but could not be looked at.
inline constexpr char RunUnexamined[] = "tidak dapat diperiksa:";
// /basmi: what became of the files and the values.
inline constexpr char RunRemovedNow[] = "; file dan registry dihapus";
inline constexpr char RunFileRemoved[] = "; file dihapus";
inline constexpr char RunFileAtRestart[] = "; file sedang dipakai, dihapus setelah restart";
inline constexpr char RunValuesGone[] = "; registry dihapus";
inline constexpr char RunValuesRemoved[] = "registry dikembalikan";
// Followed by the files or values that stay.
inline constexpr char RunRefused[] = "akses ditolak:";
inline constexpr char RunBusy[] = "program ini sedang membasmi di proses lain, tidak ada yang diubah";
inline constexpr char RunLockFailed[] = "komputer tidak dapat dikunci untuk pembasmian, tidak ada yang diubah";
// /offline:DIR, followed by DIR: a folder that holds no Windows, and the
// Windows that runs this program (under any name).
inline constexpr char RunNoWindows[] = "tidak ada Windows di folder ini, tidak ada yang diubah:";
inline constexpr char RunRunningWindows[] = "ini Windows yang sedang berjalan, tidak ada yang diubah:";
// Followed by the hive file, which stays loaded until the restart.
inline constexpr char RunHiveNotUnloaded[] = "hive tidak dapat dilepas:";
// A run that needs a switch (nobody sees its screen) or whose switch line
// is not right, in the event log.
inline constexpr char NeedsSwitch[] = "perlu /scan, /basmi atau /remove; tidak ada yang diubah";
// The steps of the event log's records that are not switches (the buttons
// have their captions).
inline constexpr wchar_t CommandLineStep[] = L"baris perintah";
inline constexpr wchar_t PurgeStep[] = L"pembasmian saat logon";

// The program cannot go on.
inline constexpr char WindowFailed[] = "Jendela program tidak dapat dibuat.";
inline constexpr char OutOfMemory[] = "Memori tidak cukup. Program dihentikan.";
inline constexpr char InternalError[] = "Terjadi kesalahan di dalam program. Program dihentikan.";

}  // namespace kolvane::text
