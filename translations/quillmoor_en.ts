<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AlbumTrash</name>
    <message>
        <source>另一个下载正在使用这个相册</source>
        <translation>another download is working on this album</translation>
    </message>
</context>
<context>
    <name>AlbumsTab</name>
    <message>
        <source>查找相册：</source>
        <translation>Find album:</translation>
    </message>
    <message>
        <source>按标题查找相册</source>
        <translation>Find albums by title</translation>
    </message>
    <message>
        <source>已下载的相册</source>
        <translation>Downloaded Albums</translation>
    </message>
    <message>
        <source>打开文件夹</source>
        <translation>Open Folder</translation>
    </message>
    <message>
        <source>在文件管理器中打开选中的相册</source>
        <translation>Open the selected albums in the file manager</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>只下载选中相册新上传的图片</source>
        <translation>Download only the new pictures of the selected albums</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>继续下载已停止或未完成的相册</source>
        <translation>Continue the stopped or unfinished albums</translation>
    </message>
    <message>
        <source>检查</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>检查选中相册的图片是否完好</source>
        <translation>Check that the pictures of the selected albums are intact</translation>
    </message>
    <message>
        <source>移到回收站</source>
        <translation>To Trash</translation>
    </message>
    <message>
        <source>把程序下载的图片移到回收站，您自己的文件留在文件夹中</source>
        <translation>Move the pictures Quillmoor downloaded to the trash; your own files stay in the folder</translation>
    </message>
    <message>
        <source>更新全部相册</source>
        <translation>Update All</translation>
    </message>
    <message>
        <source>只下载全部相册新上传的图片</source>
        <translation>Download only the new pictures of every album</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>[%1/%2] %3：%4/%5 张，%6 张/秒</source>
        <translation>[%1/%2] %3: %4/%5 pictures, %6 pictures/s</translation>
    </message>
    <message>
        <source>[%1/%2] %3：</source>
        <translation>[%1/%2] %3: </translation>
    </message>
    <message>
        <source>此相册正由另一个下载使用，未做改动</source>
        <translation>another download is using this album; nothing was changed</translation>
    </message>
    <message>
        <source>相册已不在网站上（%1%2），文件夹《%3》保持原样</source>
        <translation>the album is no longer on the site (%1%2); the folder &quot;%3&quot; was left as it was</translation>
    </message>
    <message>
        <source>新图片 %1 张，已有 %2 张</source>
        <translation>new pictures: %1, already there: %2</translation>
    </message>
    <message>
        <source>保存 %1 张</source>
        <translation>pictures saved: %1</translation>
    </message>
    <message>
        <source>，失败 %1 张</source>
        <translation>, failed: %1</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>共 %1 个相册，完整 %2 个，新保存 %3 张图片</source>
        <translation>Albums: %1, whole: %2, new pictures saved: %3</translation>
    </message>
    <message>
        <source>，%1 个相册未开始</source>
        <translation>, albums not begun: %1</translation>
    </message>
    <message>
        <source>保存路径不存在：</source>
        <translation>The save folder does not exist: </translation>
    </message>
    <message>
        <source>《%1》：记录中没有相册地址，无法更新；用“只下载新上传的图片”重新下载一次后即可更新</source>
        <translation>&quot;%1&quot;: its record holds no album address, so it cannot be updated; download it once more with &quot;Only New Pictures&quot; and it can be updated from then on</translation>
    </message>
    <message>
        <source>不是保存路径 %1 中可更新的相册文件夹：%2</source>
        <translation>Not an album folder of the save folder %1 that can be updated: %2</translation>
    </message>
    <message>
        <source>保存路径中没有可更新的相册：</source>
        <translation>No albums to update in the save folder: </translation>
    </message>
    <message>
        <source>Quillmoor 已经在运行</source>
        <translation>Quillmoor is already running</translation>
    </message>
    <message>
        <source>（进程 %1）</source>
        <translation> (process %1)</translation>
    </message>
    <message>
        <source>，同一时间只能有一个 Quillmoor 使用登录信息。</source>
        <translation>; only one Quillmoor at a time can use the login.</translation>
    </message>
    <message>
        <source>无法锁定浏览器配置：</source>
        <translation>Cannot lock the browser profile: </translation>
    </message>
    <message>
        <source>[%1/%2] %3：开始</source>
        <translation>[%1/%2] %3: starting</translation>
    </message>
    <message>
        <source>不是保存路径 %1 中记录下来的相册文件夹：%2</source>
        <translation>Not a recorded album folder of the save folder %1: %2</translation>
    </message>
    <message>
        <source>无法写入调试日志 %1：%2</source>
        <translation>Cannot write the debug log %1: %2</translation>
    </message>
</context>
<context>
    <name>FailureText</name>
    <message>
        <source>不是网址：%1</source>
        <translation>not a web address: %1</translation>
    </message>
    <message>
        <source>网络会话已关闭</source>
        <translation>the network session is closed</translation>
    </message>
    <message>
        <source>服务器拒绝连接</source>
        <translation>the server refused the connection</translation>
    </message>
    <message>
        <source>服务器关闭了连接</source>
        <translation>the server closed the connection</translation>
    </message>
    <message>
        <source>找不到服务器 %1</source>
        <translation>server %1 not found</translation>
    </message>
    <message>
        <source>连接超时</source>
        <translation>the connection timed out</translation>
    </message>
    <message>
        <source>网络错误：%1</source>
        <translation>network error: %1</translation>
    </message>
    <message>
        <source>内容超过 %1 的上限</source>
        <translation>the content is over the limit of %1</translation>
    </message>
    <message>
        <source>传输太慢（%1 秒内平均每秒不到 %2 字节）</source>
        <translation>the transfer is too slow (under %2 bytes a second on average for %1 s)</translation>
    </message>
    <message>
        <source>连接超时（%1 秒内没有收到数据）</source>
        <translation>the connection timed out (no data for %1 s)</translation>
    </message>
    <message>
        <source>传输中断，只收到 %1%2 字节</source>
        <translation>the transfer broke off after %1%2 bytes</translation>
    </message>
    <message>
        <source>传输中断，压缩数据不完整（收到 %1 字节）</source>
        <translation>the transfer broke off; the compressed data is incomplete (%1 bytes received)</translation>
    </message>
    <message>
        <source>无法解码服务器的压缩格式 %1</source>
        <translation>cannot decode the server&apos;s compression %1</translation>
    </message>
    <message>
        <source>服务器返回 HTTP %1</source>
        <translation>the server answered HTTP %1</translation>
    </message>
    <message>
        <source>服务器繁忙，要求 %1 秒后再试，超过了 %2 秒的上限</source>
        <translation>the server is busy and asks for a retry in %1 s, beyond the limit of %2 s</translation>
    </message>
    <message>
        <source>服务器返回的内容是空的</source>
        <translation>the server&apos;s answer is empty</translation>
    </message>
    <message>
        <source>服务器返回的是网页而不是图片</source>
        <translation>the server sent a web page, not a picture</translation>
    </message>
    <message>
        <source>服务器返回的是文字而不是图片</source>
        <translation>the server sent text, not a picture</translation>
    </message>
    <message>
        <source>服务器只发来了图片的一部分（HTTP 206）</source>
        <translation>the server sent only part of the picture (HTTP 206)</translation>
    </message>
    <message>
        <source>页面加载失败</source>
        <translation>the page failed to load</translation>
    </message>
    <message>
        <source>页面加载超时</source>
        <translation>the page took too long to load</translation>
    </message>
    <message>
        <source>路径里没有文件名：%1</source>
        <translation>no file name in the path: %1</translation>
    </message>
    <message>
        <source>磁盘已满</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>文件名太长：%1</source>
        <translation>the file name is too long: %1</translation>
    </message>
    <message>
        <source>文件已存在：%1</source>
        <translation>the file already exists: %1</translation>
    </message>
    <message>
        <source>文件夹不存在：%1</source>
        <translation>the folder does not exist: %1</translation>
    </message>
    <message>
        <source>没有权限写入 %1</source>
        <translation>no permission to write %1</translation>
    </message>
    <message>
        <source>磁盘是只读的，无法写入 %1</source>
        <translation>the disk is read-only; cannot write %1</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>cannot write %1: %2</translation>
    </message>
    <message>
        <source>已存在 %1：%2</source>
        <translation>%1 already exists: %2</translation>
    </message>
    <message>
        <source>上级文件夹不存在: %1</source>
        <translation>the parent folder does not exist: %1</translation>
    </message>
    <message>
        <source>无法创建文件夹 %1：%2</source>
        <translation>cannot create the folder %1: %2</translation>
    </message>
    <message>
        <source>临时文件夹编号已用完。</source>
        <translation>No temporary folder numbers are left.</translation>
    </message>
    <message>
        <source>无法删除文件夹 %1：%2</source>
        <translation>cannot delete the folder %1: %2</translation>
    </message>
    <message>
        <source>无法将 %1 改名为 %2：%3</source>
        <translation>cannot rename %1 to %2: %3</translation>
    </message>
    <message>
        <source>文件夹不存在 %1：%2</source>
        <translation>the folder %1 does not exist: %2</translation>
    </message>
    <message>
        <source>无法写入相册记录 %1：%2</source>
        <translation>cannot write the album record %1: %2</translation>
    </message>
    <message>
        <source>无法处理 %1</source>
        <translation>cannot handle %1</translation>
    </message>
    <message>
        <source>采集在第%1页提前结束：</source>
        <translation>Collection ended early at page %1: </translation>
    </message>
    <message>
        <source>页面无法打开（%1）%2</source>
        <translation>the page could not be opened (%1) %2</translation>
    </message>
    <message>
        <source>窗口离开了相册，转到了 %1</source>
        <translation>the window left the album for %1</translation>
    </message>
    <message>
        <source>“下一页”不是网址 %1</source>
        <translation>the &quot;next page&quot; link is not a web address: %1</translation>
    </message>
    <message>
        <source>页面 %1 秒内没有加载完 %2</source>
        <translation>the page did not load within %1 s: %2</translation>
    </message>
    <message>
        <source>已保存过，不再重复下载</source>
        <translation>saved before, not downloaded again</translation>
    </message>
    <message>
        <source>一次最多下载%1张图片</source>
        <translation>at most %1 pictures are downloaded at a time</translation>
    </message>
    <message>
        <source>无法保存为 %1：%2</source>
        <translation>cannot save as %1: %2</translation>
    </message>
    <message>
        <source>地址中没有文件名</source>
        <translation>no file name in the address</translation>
    </message>
    <message>
        <source>但文件夹 %1 已不存在，图片没能保存下来。</source>
        <translation>but the folder %1 is gone, so the pictures could not be kept.</translation>
    </message>
    <message>
        <source>相册名称不能用作文件夹名，图片保留在临时文件夹中。</source>
        <translation>The album&apos;s name cannot be a folder name; the pictures stay in the temporary folder.</translation>
    </message>
    <message>
        <source>无法将临时文件夹改名为《%1》，图片保留在临时文件夹中。</source>
        <translation>The temporary folder could not be renamed to &quot;%1&quot;; the pictures stay in the temporary folder.</translation>
    </message>
    <message>
        <source>部分新图片无法移入《%1》，保留在临时文件夹中。</source>
        <translation>Some new pictures could not be moved into &quot;%1&quot; and stay in the temporary folder.</translation>
    </message>
    <message>
        <source>%1 不是未完成的相册文件夹</source>
        <translation>%1 is not an unfinished album folder</translation>
    </message>
    <message>
        <source>相册 %1 正在下载中</source>
        <translation>the album %1 is being downloaded already</translation>
    </message>
    <message>
        <source>页面中没有图片链接 %1</source>
        <translation>the page links no picture %1</translation>
    </message>
    <message>
        <source>无法把图片说明写入 %1：%2</source>
        <translation>Cannot write the caption into %1: %2</translation>
    </message>
    <message>
        <source>传输超时（%1 分钟内没有下载完）</source>
        <translation>timed out (not complete within %1 minutes)</translation>
    </message>
    <message>
        <source>网址从 https 转到了不安全的 http，已拒绝：%1</source>
        <translation>refused: an https address redirected to insecure http: %1</translation>
    </message>
    <message>
        <source>服务器转向了无法打开的地址：%1</source>
        <translation>the server redirected to an address that cannot be opened: %1</translation>
    </message>
    <message>
        <source>转向次数超过 %1 次</source>
        <translation>more than %1 redirects</translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <source>全部下载</source>
        <translation>Download All</translation>
    </message>
    <message>
        <source>下载选中相册</source>
        <translation>Download Selected</translation>
    </message>
    <message>
        <source>程序</source>
        <translation>Program</translation>
    </message>
    <message>
        <source>图片保存路径</source>
        <translation>Save Folder…</translation>
    </message>
    <message>
        <source>下载模式</source>
        <translation>Download Mode</translation>
    </message>
    <message>
        <source>全部重新下载</source>
        <translation>Download Everything Again</translation>
    </message>
    <message>
        <source>只下载新上传的图片</source>
        <translation>Only New Pictures</translation>
    </message>
    <message>
        <source>下载速度</source>
        <translation>Download Speed</translation>
    </message>
    <message>
        <source>逐张下载</source>
        <translation>One at a Time</translation>
    </message>
    <message>
        <source>快速下载</source>
        <translation>Fast</translation>
    </message>
    <message>
        <source>快速下载时同时下载</source>
        <translation>At Once in Fast Mode</translation>
    </message>
    <message>
        <source>%1 张</source>
        <translation>%1 at once</translation>
    </message>
    <message>
        <source>更新全部相册</source>
        <translation>Update All Albums…</translation>
    </message>
    <message>
        <source>使用帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>意见反馈</source>
        <translation>Feedback</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>无法写入设置文件，本次更改只在程序运行期间有效：
</source>
        <translation>Cannot write the settings file; your changes hold only until Quillmoor ends:
</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Quit Quillmoor</translation>
    </message>
    <message>
        <source>正在进行下载操作,真的需要退出吗？退出将删除正在下载的文件</source>
        <translation>A download is in progress. Do you really want to quit? Quitting deletes the files being downloaded.</translation>
    </message>
    <message>
        <source>此时无法更改路径，请等待下载完毕</source>
        <translation>The save folder cannot be changed now; please wait until the download is finished.</translation>
    </message>
    <message>
        <source>选择保存【图片】的【文件夹】</source>
        <translation>Choose the Folder to Save Pictures In</translation>
    </message>
    <message>
        <source>无法打开文件夹：</source>
        <translation>Cannot open the folder: </translation>
    </message>
    <message>
        <source>无法打开网页：</source>
        <translation>Cannot open the web page: </translation>
    </message>
    <message>
        <source>当前状态不可进行此操作</source>
        <translation>This cannot be done right now</translation>
    </message>
    <message>
        <source>此时不能打开新窗口，请等待下载完毕</source>
        <translation>No new window can be opened now; please wait until the download is finished.</translation>
    </message>
    <message>
        <source>暂停下载</source>
        <translation>Pause Download</translation>
    </message>
    <message>
        <source>继续下载</source>
        <translation>Resume Download</translation>
    </message>
    <message>
        <source>停止下载</source>
        <translation>Stop Download</translation>
    </message>
    <message>
        <source>下载进度</source>
        <translation>Download progress</translation>
    </message>
    <message>
        <source>上一个操作正在进行，请等待下载结束</source>
        <translation>The previous download is still running; please wait until it ends.</translation>
    </message>
    <message>
        <source>您没有选中任何相册</source>
        <translation>You have not selected any album</translation>
    </message>
    <message>
        <source>图片下载完毕. </source>
        <translation>Pictures downloaded. </translation>
    </message>
    <message>
        <source>图片说明</source>
        <translation>Captions</translation>
    </message>
    <message>
        <source>不保存</source>
        <translation>Do Not Save</translation>
    </message>
    <message>
        <source>写入图片</source>
        <translation>Write into Pictures</translation>
    </message>
    <message>
        <source>另存为 .xmp 文件</source>
        <translation>Save as .xmp Files</translation>
    </message>
    <message>
        <source>检查相册</source>
        <translation>Check Albums</translation>
    </message>
    <message>
        <source>下载限速</source>
        <translation>Speed Limit</translation>
    </message>
    <message>
        <source>不限速</source>
        <translation>No Limit</translation>
    </message>
    <message>
        <source>100 KB/s</source>
        <translation>100 KB/s</translation>
    </message>
    <message>
        <source>300 KB/s</source>
        <translation>300 KB/s</translation>
    </message>
    <message>
        <source>1 MB/s</source>
        <translation>1 MB/s</translation>
    </message>
    <message>
        <source>3 MB/s</source>
        <translation>3 MB/s</translation>
    </message>
    <message>
        <source>选中的相册中没有已停止或未完成的相册</source>
        <translation>None of the selected albums is stopped or unfinished</translation>
    </message>
    <message>
        <source>把选中的 %1 个相册移到回收站？
程序下载的 %2 张图片和相册记录将移到回收站，文件夹中您自己的 %3 个文件留在原处。</source>
        <translation>Move the %1 selected albums to the trash?
The %2 pictures Quillmoor downloaded and the album records go to the trash; your own %3 files stay in the folders.</translation>
    </message>
    <message>
        <source>已把 %1 个相册移到回收站</source>
        <translation>Albums moved to the trash: %1</translation>
    </message>
    <message>
        <source>有些文件没能移到回收站，它们所在的相册保持原样：
</source>
        <translation>Some files could not be moved to the trash; their albums stay as they are:
</translation>
    </message>
</context>
<context>
    <name>MainFormButtons</name>
    <message>
        <source>更改路径</source>
        <translation>Change Folder</translation>
    </message>
    <message>
        <source>选择保存图片的文件夹</source>
        <translation>Choose the folder to save pictures in</translation>
    </message>
    <message>
        <source>打开文件夹</source>
        <translation>Open Folder</translation>
    </message>
    <message>
        <source>在文件管理器中打开保存文件夹</source>
        <translation>Open the save folder in the file manager</translation>
    </message>
    <message>
        <source>开始列队下载</source>
        <translation>Start Download</translation>
    </message>
    <message>
        <source>下载浏览器中打开的相册的全部图片</source>
        <translation>Download every picture of the album open in the browser</translation>
    </message>
    <message>
        <source>打开好友相册</source>
        <translation>Friends&apos; Albums</translation>
    </message>
    <message>
        <source>打开好友相册页面</source>
        <translation>Open the page of your friends&apos; albums</translation>
    </message>
    <message>
        <source>打开热门相册首页</source>
        <translation>Popular Albums</translation>
    </message>
    <message>
        <source>Kestrelnet首页</source>
        <translation>Kestrelnet Home</translation>
    </message>
    <message>
        <source>打开 Kestrelnet 首页</source>
        <translation>Open the Kestrelnet home page</translation>
    </message>
    <message>
        <source>列出相册</source>
        <translation>List Albums</translation>
    </message>
    <message>
        <source>列出该用户的全部相册</source>
        <translation>List every album of this member</translation>
    </message>
    <message>
        <source>下载选中相册</source>
        <translation>Download Selected</translation>
    </message>
    <message>
        <source>下载列表中选中的相册</source>
        <translation>Download the albums selected in the list</translation>
    </message>
</context>
<context>
    <name>MainFormControls</name>
    <message>
        <source>下载热门相册</source>
        <translation>Browse and Download</translation>
    </message>
    <message>
        <source>进入您需要下载的相册列表页面,点击按钮开始列队下载</source>
        <translation>Open the page of the album you want, then press the button to download it</translation>
    </message>
    <message>
        <source>进入相册列表页面后按钮才可用，此时请单击开始列队下载</source>
        <translation>Open an album page, then press Start Download</translation>
    </message>
    <message>
        <source>图片保存路径：</source>
        <translation>Save to:</translation>
    </message>
    <message>
        <source>下载指定ID用户相册</source>
        <translation>A Member&apos;s Albums</translation>
    </message>
    <message>
        <source>使用该功能，可以下载非好友的相册</source>
        <translation>Download the albums of any member, friend or not</translation>
    </message>
    <message>
        <source>需要下载的用户ID:</source>
        <translation>User ID:</translation>
    </message>
    <message>
        <source>=&gt;&gt;&gt;&gt;</source>
        <translation>=&gt;&gt;&gt;&gt;</translation>
    </message>
    <message>
        <source>部分特殊字符无法显示在列表中</source>
        <translation>Some symbols may not show</translation>
    </message>
    <message>
        <source>但下载无影响</source>
        <translation>(harmless)</translation>
    </message>
    <message>
        <source>100000001</source>
        <translation>100000001</translation>
    </message>
    <message>
        <source>相册列表</source>
        <translation>Album list</translation>
    </message>
    <message>
        <source>已下载的相册</source>
        <translation>Downloaded Albums</translation>
    </message>
</context>
<context>
    <name>ProgressModel</name>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>下载进度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>Collecting</source>
        <translation>Collecting</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>Success</translation>
    </message>
    <message>
        <source>Exists</source>
        <translation>Exists</translation>
    </message>
    <message>
        <source>Skipped</source>
        <translation>Skipped</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>相册《%1》 (%2/%3)</source>
        <translation>Album &quot;%1&quot; (%2/%3)</translation>
    </message>
</context>
<context>
    <name>ProgressText</name>
    <message>
        <source>程序开始采集图片</source>
        <translation>Collecting the album&apos;s pictures</translation>
    </message>
    <message>
        <source>已采集%1张图片列表，请稍等... ...</source>
        <translation>Pictures found so far: %1, please wait…</translation>
    </message>
    <message>
        <source>共采集%1张图片列表，开始下载</source>
        <translation>Pictures found: %1; downloading them now</translation>
    </message>
    <message>
        <source>相册《 %1 》有 %2 张图片</source>
        <translation>Album &quot;%1&quot;: %2 pictures</translation>
    </message>
    <message>
        <source>相册《 %1 》共有%2张图片</source>
        <translation>Album &quot;%1&quot;: %2 pictures in all</translation>
    </message>
    <message>
        <source>已下载%1张图片 </source>
        <translation>Pictures downloaded: %1 </translation>
    </message>
    <message>
        <source>已下载%1张图片（第%2/%3个相册） </source>
        <translation>Pictures downloaded: %1 (album %2/%3) </translation>
    </message>
    <message>
        <source>图片</source>
        <translation>Picture </translation>
    </message>
    <message>
        <source>下载完毕.</source>
        <translation> downloaded.</translation>
    </message>
    <message>
        <source> 新图片</source>
        <translation> New picture.</translation>
    </message>
    <message>
        <source>已在相册文件夹中（</source>
        <translation> is in the album folder already (</translation>
    </message>
    <message>
        <source>），不再下载.</source>
        <translation>); not downloaded again.</translation>
    </message>
    <message>
        <source>图片页</source>
        <translation>Picture page </translation>
    </message>
    <message>
        <source>中没有找到图片地址，已跳过.</source>
        <translation> holds no picture address; skipped.</translation>
    </message>
    <message>
        <source>无法打开：</source>
        <translation> could not be opened: </translation>
    </message>
    <message>
        <source>下载失败：</source>
        <translation> failed: </translation>
    </message>
    <message>
        <source>，已采集的图片照常下载</source>
        <translation>; the pictures found so far are downloaded as usual</translation>
    </message>
    <message>
        <source>页面标题与浏览器所见不同</source>
        <translation>The page title differs from what the browser shows</translation>
    </message>
    <message>
        <source>图片链接与浏览器所见不同（可能由页面脚本生成）</source>
        <translation>The picture links differ from what the browser shows (a script of the page may make them)</translation>
    </message>
    <message>
        <source>“下一页”链接与浏览器所见不同</source>
        <translation>The &quot;next page&quot; link differs from what the browser shows</translation>
    </message>
    <message>
        <source>页面的字符集无法直接读取</source>
        <translation>The page&apos;s character set cannot be read directly</translation>
    </message>
    <message>
        <source>无法直接读取页面</source>
        <translation>The page cannot be read directly</translation>
    </message>
    <message>
        <source>浏览器未能加载页面</source>
        <translation>The browser could not load the page</translation>
    </message>
    <message>
        <source>，改由浏览器逐页采集：</source>
        <translation>; collecting page by page in the browser instead: </translation>
    </message>
    <message>
        <source>保存了 %1 张，还有 %2 张未下载</source>
        <translation>saved: %1, not downloaded: %2</translation>
    </message>
    <message>
        <source>登录已失效（%1），已停止：</source>
        <translation>The login expired (%1); stopped, </translation>
    </message>
    <message>
        <source>，相册不完整</source>
        <translation>; the album is incomplete</translation>
    </message>
    <message>
        <source>已停止：</source>
        <translation>Stopped, </translation>
    </message>
    <message>
        <source>%1 个图片页中没有找到图片地址，已跳过</source>
        <translation>Picture pages without a picture address, skipped: %1</translation>
    </message>
    <message>
        <source>登录已失效，请在浏览器窗口中重新登录，然后点击继续下载</source>
        <translation>The login expired. Log in again in the browser pane, then choose Resume Download.</translation>
    </message>
    <message>
        <source>已暂停下载</source>
        <translation>Download paused</translation>
    </message>
    <message>
        <source>%1小时%2分</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <source>%1分%2秒</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>%1秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1/%2 张</source>
        <translation>%1/%2 pictures</translation>
    </message>
    <message>
        <source>相册 %1/%2，</source>
        <translation>Album %1/%2, </translation>
    </message>
    <message>
        <source>，已暂停</source>
        <translation>, paused</translation>
    </message>
    <message>
        <source>，仍在采集</source>
        <translation>, still collecting</translation>
    </message>
    <message>
        <source>，%1 张/秒</source>
        <translation>, %1 pictures/s</translation>
    </message>
    <message>
        <source>，剩余 </source>
        <translation>, time left </translation>
    </message>
    <message>
        <source>其中 %1 张图片下载失败，详见下载进度</source>
        <translation>Pictures that failed: %1 (the progress list says why)</translation>
    </message>
    <message>
        <source>新增 %1 张图片，%2 张已在相册中</source>
        <translation>New pictures: %1, already in the album: %2</translation>
    </message>
    <message>
        <source>相册不完整，原先下载的《%1》保持不变，新图片保存在《%2》</source>
        <translation>The album is incomplete: the earlier download &quot;%1&quot; stays as it was, and the new pictures are in &quot;%2&quot;</translation>
    </message>
    <message>
        <source>文件夹《%1》已被占用（不是本相册的下载），未做任何改动</source>
        <translation>The folder &quot;%1&quot; is taken (it is no download of this album); nothing in it was changed</translation>
    </message>
    <message>
        <source>已替换原先下载的同一相册</source>
        <translation>The earlier download of this album was replaced</translation>
    </message>
    <message>
        <source>这个相册正由另一个下载任务处理，本次未做任何改动</source>
        <translation>Another download is working on this album; nothing was changed this time</translation>
    </message>
    <message>
        <source>相册下载完毕.</source>
        <translation>Album downloaded.</translation>
    </message>
    <message>
        <source>下载完毕
</source>
        <translation>Download complete
</translation>
    </message>
    <message>
        <source>保存在 《</source>
        <translation>Saved in &quot;</translation>
    </message>
    <message>
        <source>》</source>
        <translation>&quot;</translation>
    </message>
    <message>
        <source>，相册可能不完整</source>
        <translation>; the album may be incomplete</translation>
    </message>
    <message>
        <source>下载完毕</source>
        <translation>Download complete</translation>
    </message>
    <message>
        <source>
相册《%1》：</source>
        <translation>
Album &quot;%1&quot;: </translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>，其中 %1 张图片下载失败</source>
        <translation>, pictures that failed: %1</translation>
    </message>
    <message>
        <source>更新全部相册</source>
        <translation>Update All Albums</translation>
    </message>
    <message>
        <source>保存路径 %1 中记录的相册。勾选的相册将只下载新上传的图片：</source>
        <translation>Albums recorded in the save folder %1. The checked albums get their new pictures only:</translation>
    </message>
    <message>
        <source>相册</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>文件夹</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>最后更新</source>
        <translation>Last update</translation>
    </message>
    <message>
        <source>（无法更新：记录中没有相册地址，请用“只下载新上传的图片”重新下载一次）</source>
        <translation> (cannot be updated: its record holds no album address; download it once more with &quot;Only New Pictures&quot;)</translation>
    </message>
    <message>
        <source>保存路径 %1 中没有记录的相册</source>
        <translation>No albums are recorded in the save folder %1</translation>
    </message>
    <message>
        <source>您没有选中任何相册</source>
        <translation>You have not selected any album</translation>
    </message>
    <message>
        <source>页面《%1》不是相册</source>
        <translation>the page &quot;%1&quot; is not an album</translation>
    </message>
    <message>
        <source>相册已不在网站上（%1，%2），文件夹《%3》保持原样</source>
        <translation>The album is no longer on the site (%1, %2); the folder &quot;%3&quot; was left as it was</translation>
    </message>
    <message>
        <source>相册《%1》（文件夹《%2》）：%3 张</source>
        <translation>Album &quot;%1&quot; (folder &quot;%2&quot;): %3</translation>
    </message>
    <message>
        <source>相册《%1》：%2</source>
        <translation>Album &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>更新完毕：检查了 %1 个相册，共新增 %2 张图片</source>
        <translation>Update complete: albums checked: %1, new pictures: %2</translation>
    </message>
    <message>
        <source>

新图片：
</source>
        <translation>

New pictures:
</translation>
    </message>
    <message>
        <source>

未能完成：
</source>
        <translation>

Not completed:
</translation>
    </message>
    <message>
        <source>

还有 %1 个相册没有检查</source>
        <translation>

Albums not checked: %1</translation>
    </message>
    <message>
        <source>已停止：其余 %1 个相册未下载</source>
        <translation>Stopped: albums not downloaded: %1</translation>
    </message>
    <message>
        <source>上次有未完成的相册：《%1》已下载 %2 张，是否继续？</source>
        <translation>An album was left unfinished: &quot;%1&quot;, %2 pictures downloaded so far. Continue it?</translation>
    </message>
    <message>
        <source>继续下载</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>以后再说</source>
        <translation>Later</translation>
    </message>
    <message>
        <source>删除这些图片</source>
        <translation>Delete These Pictures</translation>
    </message>
    <message>
        <source>重新下载</source>
        <translation>Start Over</translation>
    </message>
    <message>
        <source>未能删除相册文件夹 %1 中的全部图片：%2</source>
        <translation>Not every picture in the album folder %1 could be deleted: %2</translation>
    </message>
    <message>
        <source>图片%1%2.</source>
        <translation>Picture %1: %2.</translation>
    </message>
    <message>
        <source>图片</source>
        <comment>column</comment>
        <translation>Pictures</translation>
    </message>
    <message>
        <source>（相册文件夹中的这张图片不见了，已重新下载）</source>
        <translation>(this picture was missing from the album folder and was downloaded again)</translation>
    </message>
    <message>
        <source>（相册文件夹中的这张图片是空的，已重新下载）</source>
        <translation>(this picture was empty in the album folder and was downloaded again)</translation>
    </message>
    <message>
        <source>（相册文件夹中的这张图片大小不对，已重新下载）</source>
        <translation>(this picture had the wrong size in the album folder and was downloaded again)</translation>
    </message>
    <message>
        <source>%1 张图片的格式无法写入说明，已另存为 .xmp 文件</source>
        <translation>Pictures whose format takes no caption, saved with .xmp files instead: %1</translation>
    </message>
    <message>
        <source>已替换原先下载的同一相册，回收站不可用，原先的副本保存在《%1》</source>
        <translation>Replaced the earlier download of this album; no trash is available, so the earlier copy is kept in &quot;%1&quot;</translation>
    </message>
    <message>
        <source>已替换原先下载的同一相册，原先的副本已移到回收站</source>
        <translation>Replaced the earlier download of this album; the earlier copy was moved to the trash</translation>
    </message>
    <message>
        <source>保存路径中没有记录下来的相册</source>
        <translation>The save folder holds no recorded album</translation>
    </message>
    <message>
        <source>缺少 %1 张（%2）</source>
        <translation>missing: %1 (%2)</translation>
    </message>
    <message>
        <source>%1 张是空文件（%2）</source>
        <translation>empty files: %1 (%2)</translation>
    </message>
    <message>
        <source>%1 张与下载时不同（%2）</source>
        <translation>changed since download: %1 (%2)</translation>
    </message>
    <message>
        <source>相册《%1》（文件夹《%2》）：</source>
        <translation>Album &quot;%1&quot; (folder &quot;%2&quot;): </translation>
    </message>
    <message>
        <source>检查了 %1 个相册，共 %2 张图片</source>
        <translation>Checked albums: %1, pictures: %2</translation>
    </message>
    <message>
        <source>，全部完好</source>
        <translation>, all intact</translation>
    </message>
    <message>
        <source>

有问题的相册：
</source>
        <translation>

Albums with problems:
</translation>
    </message>
    <message>
        <source>

用“只下载新上传的图片”再下载一次这些相册，可以补回缺少的图片</source>
        <translation>

Download these albums once more with &quot;Only New Pictures&quot; to get the missing pictures back</translation>
    </message>
    <message>
        <source>无法在保存路径中创建临时文件夹，请检查保存路径是否存在并且可写：
</source>
        <translation>Cannot create a temporary folder in the save folder; check that it exists and is writable:
</translation>
    </message>
    <message>
        <source>用户ID输入有误</source>
        <translation>The user ID is not valid</translation>
    </message>
    <message>
        <source>您还没有登录，请先在浏览器窗口登录</source>
        <translation>You are not logged in. Please log in in the browser pane first.</translation>
    </message>
    <message>
        <source>该用户没有可供下载的相册</source>
        <translation>This member has no albums to download</translation>
    </message>
    <message>
        <source>无法连接到网站，请稍后再试：</source>
        <translation>Cannot reach the site; please try again later: </translation>
    </message>
</context>
<context>
    <name>RecordedAlbumModel</name>
    <message>
        <source>有缺失 %1 张</source>
        <translation>%1 missing</translation>
    </message>
    <message>
        <source>完整</source>
        <translation>Whole</translation>
    </message>
    <message>
        <source>已停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>未完成</source>
        <translation>Unfinished</translation>
    </message>
    <message>
        <source>%1 张</source>
        <translation>%1 pictures</translation>
    </message>
    <message>
        <source>无法更新</source>
        <translation>not updatable</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>TerminalText</name>
    <message>
        <source>未登录或登录已过期：请先打开 Quillmoor 的窗口登录一次，再运行此命令。</source>
        <translation>Not logged in, or the login expired: open Quillmoor&apos;s window and log in once, then run this command again.</translation>
    </message>
    <message>
        <source>无法连接网站：</source>
        <translation>Cannot reach the site: </translation>
    </message>
</context>
</TS>
