// Drives the workbench in Debian's chromium: node workbench.mjs ADDRESS UPLOAD [SCREENSHOTS]
// Prints "tudo certo" when every step held; otherwise the step that failed (exit 1).
import { chromium } from 'playwright-core';

const [address, uploadPath, shots] = process.argv.slice(2);
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
const check = (ok, what) => { if (!ok) throw new Error('falhou: ' + what); };
const snap = async (page, name) => { if (shots) await page.screenshot({ path: `${shots}/navegador_${name}.png`, fullPage: false }); };

let page;
const logs = [];
try {
  const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1400, height: 900 } });
  page = await context.newPage();
  page.on('console', m => logs.push('console: ' + m.text()));
  page.on('pageerror', e => logs.push('erro na página: ' + e.message));
  const blocked = [];
  page.on('request', r => { if (!r.url().startsWith(new URL(address).origin)) blocked.push(r.url()); });

  // The list: the token is traded for the session and leaves the address bar.
  await page.goto(address);
  await page.waitForSelector('#arquivos');
  check(!page.url().includes('token'), 'o token sai do endereço');
  check(await page.locator('#arquivos a.arquivo').count() === 2, 'dois arquivos na lista');
  check(await page.getByText('<img src=x onerror=window.invadido=1>.txt').count() === 1, 'nome hostil mostrado como texto');
  await snap(page, 'lista');

  // A file: validated with progress, its findings one page at a time.
  await page.click('text=lote/tdm.txt');
  await page.waitForSelector('#achados tbody tr', { timeout: 30000 });
  const rows = await page.locator('#achados tbody tr').count();
  check(rows === 100, 'uma página de 100 achados, não todos (' + rows + ')');
  check(/Página 1 de [2-9]/.test(await page.textContent('#pagina')), 'mais de uma página');
  await page.click('#proxima');
  await page.waitForFunction(() => document.querySelector('#pagina').textContent.startsWith('Página 2'));

  // A finding: its record beside it, the failed field marked.
  await page.locator('#achados tbody tr').nth(2).click();
  await page.waitForSelector('#campos tr.falhou');
  check((await page.textContent('#campos tr.falhou')).includes('CPF/CNPJ'), 'o campo que falhou em destaque');
  check((await page.textContent('#texto-registro mark')) .length === 14, 'o trecho do campo marcado no registro');
  await snap(page, 'achado');

  // Its deep link opens the same finding in a new page.
  const link = page.url();
  check(/#\/arquivo\/lote%2Ftdm\.txt\/achado\/\d+$/.test(link), 'endereço do achado: ' + link);
  const again = await context.newPage();
  await again.goto(link);
  await again.waitForSelector('#campos tr.falhou');
  check(await again.textContent('#causa-achado') === await page.textContent('#causa-achado'), 'o link leva ao mesmo achado');
  await again.close();

  // Keys: the next finding.
  const before = await page.textContent('#causa-achado');
  await page.keyboard.press('F8');
  await page.waitForFunction(b => document.querySelector('#causa-achado').textContent !== b, before);
  check(await page.locator('#achados tr.selecionado').count() === 1, 'uma linha escolhida pelo teclado');

  // Filter on the server.
  await page.fill('#busca', 'texto que nenhum achado tem');
  await page.waitForSelector('text=Nenhum achado.');

  // A new validation with the tolerance typed, as the window's box.
  await page.fill('#tolerancia', '0,05');
  await page.click('#validar-de-novo');
  await page.waitForSelector('#achados tbody tr');

  // Indicators, reconciliation and its chart, the report.
  await page.click('.abas >> text=Indícios');
  await page.waitForSelector('#indicios');
  await page.click('.abas >> text=Conciliação');
  await page.waitForSelector('#conciliacao');
  check(await page.locator('#grafico div').count() === 10, 'uma barra por redução Z');
  await snap(page, 'conciliacao');
  const [shown] = await Promise.all([context.waitForEvent('page'), page.click('#abrir-relatorio')]);
  await shown.waitForLoadState();
  check((await shown.textContent('body')).includes('Relatório de auditoria'), 'relatório aberto numa aba');
  await shown.close();
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#baixar-relatorio')]);
  check(download.suggestedFilename() === 'relatorio.html', 'relatório baixado');

  // The hostile file: its texts stay text.
  await page.goto(new URL(address).origin + '/#/');
  await page.click('a.arquivo >> nth=0');
  await page.waitForSelector('#resumo');
  check((await page.textContent('#resumo')).includes('<img src=x onerror=window.invadido=1>'), 'contribuinte hostil como texto');
  const e15 = page.locator('#achados tbody tr', { hasText: 'E15' });
  if (await e15.count() > 0) await e15.first().click();
  check(await page.evaluate(() => window.invadido === undefined && document.querySelectorAll('img').length === 0), 'nada do arquivo foi executado');

  // Upload with its progress bar; the file joins the list.
  await page.goto(new URL(address).origin + '/#/');
  await page.waitForSelector('#enviar');
  await page.setInputFiles('#enviar', uploadPath);
  await page.waitForSelector('text=enviar.txt');
  check(blocked.length === 0, 'nenhum pedido para fora: ' + blocked.join(' '));
  console.log('tudo certo');
} catch (e) {
  console.log(e.message);
  console.log(logs.join('\n'));
  if (page) console.log('página: ' + page.url() + '\n' + (await page.textContent('body').catch(() => '')).slice(0, 2000));
  process.exitCode = 1;
} finally {
  await browser.close();
}
