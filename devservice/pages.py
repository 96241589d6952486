"""The service's index page: an inbox filled by the client through the global
putMsg, and buttons that call back into the client through
window.external.InvokeWebserver. Plain ES3 script, for the embedded browser."""

import json
from xml.sax.saxutils import escape

_PAGE = """<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01//EN" "http://www.w3.org/TR/html4/strict.dtd">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=utf-8">
<meta http-equiv="X-UA-Compatible" content="IE=7">
<title>Velmarin 收件箱</title>
<style type="text/css">
body {{ font: 12px "宋体", sans-serif; margin: 8px; }}
table {{ border-collapse: collapse; width: 100%; }}
th, td {{ border: 1px solid #bbb; padding: 2px 6px; text-align: left; }}
#status {{ color: #555; margin: 6px 0; }}
</style>
<script type="text/javascript">
var sessionId = {session_json};

function setStatus(text) {{
  document.getElementById("status").innerHTML = "";
  document.getElementById("status").appendChild(document.createTextNode(text));
}}

// Called by the client once per new message: id, kind, sender, time, text.
function putMsg(id, kind, sender, sent, text) {{
  var table = document.getElementById("inbox");
  var row = table.insertRow(-1);
  var values = [id, kind, sender, sent, text];
  for (var i = 0; i < values.length; i++) {{
    row.insertCell(-1).appendChild(document.createTextNode(String(values[i])));
  }}
  document.getElementById("count").innerHTML = String(table.rows.length - 1);
}}

function invoke(command, data) {{
  try {{
    window.external.InvokeWebserver(command, data);
    setStatus("已发送 " + command);
  }} catch (e) {{
    setStatus("InvokeWebserver " + command + " 失败: " + (e.message || e));
  }}
}}

function sendMessage() {{
  var to = document.getElementById("to").value;
  var text = document.getElementById("text").value;
  invoke("1003", "cmd=send&to=" + to + "&text=" + text);
}}
</script>
</head>
<body>
<h3>收件箱 (<span id="count">0</span>)</h3>
<p>会话: {session_html}</p>
<table id="inbox">
<tr><th>编号</th><th>类型</th><th>发送方</th><th>时间</th><th>内容</th></tr>
</table>
<p>
收件人 <input id="to" type="text" size="14" value="05512345678">
内容 <input id="text" type="text" size="30" value="你好">
<button id="send" type="button" onclick="sendMessage()">发送短信</button>
<button id="empty" type="button" onclick="invoke('1003', '')">空页面命令</button>
<button id="exit" type="button" onclick="invoke('1004', '')">退出</button>
</p>
<div id="status"></div>
</body>
</html>
"""


def index_page(session_id):
    # The session id comes from the query string: keep it inert in script.
    session_json = json.dumps(session_id).replace("<", "\\u003c").replace(">", "\\u003e")
    return _PAGE.format(session_json=session_json, session_html=escape(session_id)).encode("utf-8")
