#include "system_messages.h"

namespace winsim {
namespace {

// Windows' own texts, in UTF-8. Each ends with the line break that the
// message compiler keeps at the end of a message.
constexpr SystemMessage kMessages[] = {
    {2, "The system cannot find the file specified.\r\n", "指定されたファイルが見つかりません。\r\n"},
    {3, "The system cannot find the path specified.\r\n", "指定されたパスが見つかりません。\r\n"},
    {5, "Access is denied.\r\n", "アクセスが拒否されました。\r\n"},
    {6, "The handle is invalid.\r\n", "ハンドルが無効です。\r\n"},
    {8, "Not enough storage is available to process this command.\r\n",
     "このコマンドを実行するのに十分な記憶域がありません。\r\n"},
    {13, "The data is invalid.\r\n", "データが無効です。\r\n"},
    {14, "Not enough storage is available to complete this operation.\r\n",
     "この操作を完了するのに十分な記憶域がありません。\r\n"},
    {18, "There are no more files.\r\n", "これ以上ファイルはありません。\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n",
     "プロセスはファイルにアクセスできません。別のプロセスが使用中です。\r\n"},
    {80, "The file exists.\r\n", "ファイルが存在します。\r\n"},
    {87, "The parameter is incorrect.\r\n", "パラメーターが間違っています。\r\n"},
    {120, "This function is not supported on this system.\r\n", "この関数はこのシステムではサポートされていません。\r\n"},
    {122, "The data area passed to a system call is too small.\r\n",
     "システム コールに渡されるデータ領域が小さすぎます。\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n",
     "ファイル名、ディレクトリ名、またはボリューム ラベルの構文が間違っています。\r\n"},
    {126, "The specified module could not be found.\r\n", "指定されたモジュールが見つかりません。\r\n"},
    {127, "The specified procedure could not be found.\r\n", "指定されたプロシージャが見つかりません。\r\n"},
    {145, "The directory is not empty.\r\n", "ディレクトリが空ではありません。\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n",
     "既に存在するファイルを作成することはできません。\r\n"},
    {206, "The filename or extension is too long.\r\n", "ファイル名または拡張子が長すぎます。\r\n"},
    {234, "More data is available.\r\n", "データがさらにあります。\r\n"},
    {259, "No more data is available.\r\n", "データはこれ以上ありません。\r\n"},
    {1004, "Invalid flags.\r\n", "フラグが無効です。\r\n"},
    {1008, "An attempt was made to reference a token that does not exist.\r\n",
     "存在しないトークンを参照しようとしました。\r\n"},
    {1060, "The specified service does not exist as an installed service.\r\n",
     "指定されたサービスはインストールされたサービスとして存在しません。\r\n"},
    {1072, "The specified service has been marked for deletion.\r\n",
     "指定されたサービスは削除の対象としてマークされています。\r\n"},
    {1073, "The specified service already exists.\r\n", "指定されたサービスは既に存在します。\r\n"},
    {1113, "No mapping for the Unicode character exists in the target multi-byte code page.\r\n",
     "Unicode 文字のマッピングがターゲットのマルチバイト コード ページにありません。\r\n"},
    {1168, "Element not found.\r\n", "要素が見つかりません。\r\n"},
    {1400, "Invalid window handle.\r\n", "ウィンドウ ハンドルが無効です。\r\n"},
    {1812, "The specified image file did not contain a resource section.\r\n",
     "指定されたイメージ ファイルにリソース セクションがありません。\r\n"},
    {1813, "The specified resource type cannot be found in the image file.\r\n",
     "指定されたリソースの種類がイメージ ファイルに見つかりません。\r\n"},
    {1814, "The specified resource name cannot be found in the image file.\r\n",
     "指定されたリソース名がイメージ ファイルに見つかりません。\r\n"},
    // COM's own HRESULTs (FACILITY_NULL), worded without a final period.
    {0x80004001, "Not implemented\r\n", "実装されていません\r\n"},
    {0x80004005, "Unspecified error\r\n", "エラーを特定できません\r\n"},
    // Setup API (FACILITY_SETUPAPI).
    {0x800F022F, "The third-party INF does not contain digital signature information.\r\n",
     "サードパーティの INF にデジタル署名情報がありません。\r\n"},
    {0x800F0235, "Operation not allowed in WOW64.\r\n", "この操作は WOW64 では許可されていません。\r\n"},
};

}  // namespace

const SystemMessage* findSystemMessage(DWORD code) {
    for (const SystemMessage& message : kMessages)
        if (message.code == code) return &message;
    return nullptr;
}

const SystemMessage* systemMessages(size_t* count) {
    *count = sizeof kMessages / sizeof kMessages[0];
    return kMessages;
}

}  // namespace winsim
