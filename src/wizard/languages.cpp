#include "wizard/languages.h"

QStringList EnglishTable() {
    return {
        QStringLiteral("Label1=Welcome"),
        QStringLiteral("Label2=Connect to Mysql server"),
        QStringLiteral("Label3=Connect to Oracle server"),
        QStringLiteral("Label4=Conversion Settings"),
        QStringLiteral("Label5=Select table to convert"),
        QStringLiteral("Label6=Conversion is Completed"),
        QStringLiteral("Label7=Welcome to the Database"),
        QStringLiteral("Label8=Conversion Wizard"),
        QStringLiteral("Label9=This wizard helps you move Oracle database to Access."),
        QStringLiteral("Label10=Click 'Next' to continue."),
        QStringLiteral("Label11=Provide necessary information to establish connection with "
                       "MySQL server."),
        QStringLiteral("Label12=User name:"),
        QStringLiteral("Label13=Password:"),
        QStringLiteral("Label15=Database :"),
        QStringLiteral("Label14=Host:"),
        QStringLiteral("edtport111=Port number:"),
        QStringLiteral("Label16=(it could be network name or IP address)"),
        QStringLiteral("Label17=(Default Mysql Port is 3306)"),
        QStringLiteral("Label18=Provide the necessary information to establish connection "
                       "with Oracle server."),
        QStringLiteral("Label19=Enter the same values that you specify for standard Oracle "
                       "applications"),
        QStringLiteral("Label20=Link Oracle Enterprise Manager Console."),
        QStringLiteral("Label21=&Service:"),
        QStringLiteral("Label22=&User name:"),
        QStringLiteral("Label23=&Password"),
        QStringLiteral("Label24=On this page you can specify source database name and "
                       "conversion settings."),
        QStringLiteral("Label25=MySQL database name:"),
        QStringLiteral("Label33=Character Set"),
        QStringLiteral("Label26=Select Oracle tables to convert into Access format."),
        QStringLiteral("Label27=Available tables:"),
        QStringLiteral("Label28=Selected tables:"),
        QStringLiteral("Label29=Conversion is Completed"),
        QStringLiteral("Label30=Wizard has migrated your Oracle database to Access "
                       "successfully."),
        QStringLiteral("Label32=Click 'Finish' to exit the wizard."),
        QStringLiteral("accessmode=Access mode"),
        QStringLiteral("processtable=How to process existing tables:"),
        QStringLiteral("authorization=Authorization settings"),
        QStringLiteral("GroupBox1=Port settings"),
        QStringLiteral("GroupBox2=Remote settings"),
        QStringLiteral("chktabledefi=Convert table definitions only"),
        QStringLiteral("chkskipindex=Skip converting indexes"),
        QStringLiteral("chkuppercase=Make names uppercase"),
        QStringLiteral("chkblobtotext=Convert BLOB to text"),
        QStringLiteral("helpurl=https://ferrovane.org/help/en/"),
        QStringLiteral("queryclose=Close this Wizard ?"),
        QStringLiteral("linkmysqlerror=Access denied. Verify the user name and password are "
                       "correct, and you have the necessary privileges to connect to the "
                       "target Mysql server."),
        QStringLiteral("labelaccessformat=Access format:"),
        QStringLiteral("labelaccessname=MS Access database name:"),
        QStringLiteral("nullaccessname=Please input Access database name"),
    };
}

QStringList ChineseTable() {
    return {
        QStringLiteral("Label1=欢迎"),
        QStringLiteral("Label2=连接MYSQL"),
        QStringLiteral("Label3=连接Oracle"),
        QStringLiteral("Label4=设置"),
        QStringLiteral("Label5=选择要转换的表"),
        QStringLiteral("Label6=完成转换"),
        QStringLiteral("Label7=欢迎使用数据库转换向导"),
        QStringLiteral("Label8="),
        QStringLiteral("Label9=本向导将实现Oracle的表到Access的转换"),
        QStringLiteral("Label10=点击 'Next' 按钮进行下一步"),
        QStringLiteral("Label11=请提供连接到Mysql 的必要信息"),
        QStringLiteral("Label12=用户名:"),
        QStringLiteral("Label13=密码:"),
        QStringLiteral("Label15=数据库名称 :"),
        QStringLiteral("Label14=Host:"),
        QStringLiteral("edtport111=端口号:"),
        QStringLiteral("Label16=(网络名称或IP地址)"),
        QStringLiteral("Label17=(Default Mysql Port is 3306)"),
        QStringLiteral("Label18=请提供连接到Oracle 的必要信息"),
        QStringLiteral("Label19="),
        QStringLiteral("Label20="),
        QStringLiteral("Label21=Service 名称:"),
        QStringLiteral("Label22=用户名:"),
        QStringLiteral("Label23=密码:"),
        QStringLiteral("Label24=转换设置"),
        QStringLiteral("Label25=MySQL 数据库选择"),
        QStringLiteral("Label33=字符集"),
        QStringLiteral("Label26=选择要进行转换的表"),
        QStringLiteral("Label27=Oracle 表"),
        QStringLiteral("Label28=已选择表"),
        QStringLiteral("Label29=已经完成转换"),
        QStringLiteral("Label30=向导已经完成Oracle 数据库到Access的转换."),
        QStringLiteral("Label32=点击 'Finish' 离开本向导."),
        QStringLiteral("accessmode=存取模式"),
        QStringLiteral("processtable=如何处理已经存在的表:"),
        QStringLiteral("authorization=登陆设置"),
        QStringLiteral("GroupBox1=Port settings"),
        QStringLiteral("GroupBox2=远程连接设置"),
        QStringLiteral("chktabledefi=只转换表定义(不导入数据)"),
        QStringLiteral("chkskipindex=选中则不处理索引"),
        QStringLiteral("chkuppercase=名称转换为大写"),
        QStringLiteral("chkblobtotext=转换BLOB为TEXT类型"),
        QStringLiteral("helpurl=https://ferrovane.org/help/cn/"),
        QStringLiteral("queryclose=退出向导 ?"),
        QStringLiteral("linkmysqlerror=访问被拒绝。请检查user name和password是否正确, "
                       "并且有权限访问该MYSQL数据库."),
        QStringLiteral("labelaccessformat=Access格式:"),
        QStringLiteral("labelaccessname=MS Access 文件名:"),
        QStringLiteral("nullaccessname=请输入Access文件名"),
    };
}

std::optional<QString> LanguageValue(const QStringList& table, const QString& name) {
    for (const QString& line : table) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        if (QStringView(line).left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return std::nullopt;
}
